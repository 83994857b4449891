# Writers of test documents, included (not added, so that each user can) by tests/, bench/ and
# tests/fuzz/. The PDF writer typesets with Qt and is built only with the window.
if(TARGET sorowa_document_writers)
  return()
endif()
find_package(ZLIB REQUIRED)
add_library(sorowa_document_writers STATIC ${CMAKE_CURRENT_LIST_DIR}/document_writers.cpp)
target_include_directories(sorowa_document_writers PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(sorowa_document_writers PUBLIC sorowa_base PRIVATE ZLIB::ZLIB)

if(SOROWA_BUILD_APP)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
  add_library(sorowa_pdf_writer STATIC ${CMAKE_CURRENT_LIST_DIR}/pdf_writer.cpp)
  target_include_directories(sorowa_pdf_writer PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(sorowa_pdf_writer PUBLIC Qt6::Gui)
endif()
