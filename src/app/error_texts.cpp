#include "app/error_texts.h"

#include <QDir>
#include <QLocale>
#include <cerrno>

namespace sorowa {
namespace {

QString Path(const std::string& path) {
  return QDir::toNativeSeparators(QString::fromStdString(path));
}

QString Number(quint64 value) { return QLocale(QLocale::Japanese).toString(value); }

// How long the refused work would have taken, to two significant figures, as a sentence;
// nothing when not known.
QString JapaneseDuration(double seconds) {
  if (!(seconds >= 0)) return QString();
  if (seconds < 1) return QStringLiteral("計算は 1 秒もかからない見込みでした。");
  double rounded = seconds;
  quint64 scale = 1;
  while (rounded >= 100) {
    rounded /= 10;
    scale *= 10;
  }
  return QStringLiteral("計算にはおよそ %1 秒かかる見込みでした。")
      .arg(Number(static_cast<quint64>(rounded + 0.5) * scale));
}

}  // namespace

QString JapaneseByteSize(quint64 bytes) {
  const double megabytes = static_cast<double>(bytes) / (1024.0 * 1024.0);
  return QStringLiteral("%1 MB（%2 バイト）")
      .arg(QLocale(QLocale::Japanese).toString(megabytes, 'f', 1), Number(bytes));
}

QString JapaneseSystemErrorText(int systemError) {
  switch (systemError) {
    case 0:
      return QString();
    case ENOENT:
      return QStringLiteral("ファイルまたはフォルダーがありません。");
    case EACCES:
    case EPERM:
      return QStringLiteral("アクセスが許可されていません。");
    case ENOSPC:
      return QStringLiteral("ディスクの空き容量が足りません。");
    case EDQUOT:
      return QStringLiteral("ディスクの使用量の上限を超えました。");
    case EROFS:
      return QStringLiteral("読み取り専用の場所です。");
    case EISDIR:
      return QStringLiteral("フォルダーです。ファイルを選んでください。");
    case ENOTDIR:
      return QStringLiteral("パスの途中にフォルダーでないものがあります。");
    case EEXIST:
      return QStringLiteral("同じ名前のファイルがすでにあります。");
    case EIO:
      return QStringLiteral("入出力エラーが起きました。");
    case ENAMETOOLONG:
      return QStringLiteral("名前が長すぎます。");
    case EMFILE:
    case ENFILE:
      return QStringLiteral("開いているファイルが多すぎます。");
    case ENOMEM:
      return QStringLiteral("メモリーが足りません。");
    case EFBIG:
      return QStringLiteral("ファイルが大きすぎます。");
    case EBADF:
      return QStringLiteral("ファイルはすでに閉じられています。");
    case EAGAIN:
      return QStringLiteral("システムの資源が一時的に足りません。");
    default:
      return QStringLiteral("システムのエラー（番号 %1）が起きました。").arg(systemError);
  }
}

QString JapaneseErrorText(const ErrorDetails& details) {
  const QString reason = JapaneseSystemErrorText(details.systemError);
  auto withReason = [&reason](const QString& text) {
    return reason.isEmpty() ? text : text + QLatin1Char('\n') + reason;
  };
  switch (details.kind) {
    case ErrorKind::OutOfMemory:
      return QStringLiteral(
          "メモリーが足りません。ほかのプログラムを閉じるか、表の数を減らしてもう一度お試しください"
          "。");
    case ErrorKind::TemporaryFolderUnusable:
      return withReason(
          QStringLiteral("一時フォルダー（%1）を使えません。").arg(Path(details.path)));
    case ErrorKind::ReportNotCreated:
      return withReason(
          QStringLiteral("レポートのファイル %1 を作れませんでした。").arg(Path(details.path)));
    case ErrorKind::ReportNotWritten:
      return withReason(
          QStringLiteral("レポートのファイル %1 に書き込めませんでした。").arg(Path(details.path)));
    case ErrorKind::ReportNotReplaced:
      return withReason(QStringLiteral("%1 を置き換えられませんでした。").arg(Path(details.path)));
    case ErrorKind::NoReportNameLeft:
      return QStringLiteral(
                 "%1 にはもう使えるレポートの名前がありません。古いレポート（s*.htm）を削除して"
                 "からもう一度比較してください。")
          .arg(Path(details.path));
    case ErrorKind::TableTooLarge: {
      const QString pair =
          details.pair == 0 ? QString() : QStringLiteral("%1 組目の行は、").arg(details.pair);
      return QStringLiteral(
                 "%1%2 と %3 の単位からなり、長すぎて対応付けられません。表に %4 が必要で、"
                 "上限の %5 を超えます。%6長い行を分けるか、文字DPの表を外してください。")
          .arg(pair, Number(details.sourceLength), Number(details.targetLength),
               JapaneseByteSize(details.size), JapaneseByteSize(details.limit),
               JapaneseDuration(details.seconds));
    }
    case ErrorKind::FileNotReadable:
      return withReason(QStringLiteral("%1 を読めませんでした。").arg(Path(details.path)));
    case ErrorKind::FileTooLarge:
      return QStringLiteral("%1 は %2 あり、開ける大きさの上限 %3 を超えています。")
          .arg(Path(details.path), JapaneseByteSize(details.size), JapaneseByteSize(details.limit));
    case ErrorKind::Undecodable:
      if (details.encoding.empty()) {
        // Found automatically, and no encoding read it.
        return QStringLiteral(
                   "%1 は、自動で試したどの文字コード（UTF-8、Shift_JIS (CP932)、EUC-JP、"
                   "ISO-2022-JP）でも読めません。テキストファイルでないか、壊れているようです。"
                   "BOM のない UTF-16 や UTF-32 のファイルなら、開くときにその文字コードを選んで"
                   "ください。")
            .arg(Path(details.path));
      }
      return QStringLiteral(
                 "%1 を %2 として読めません。%3 バイト目（先頭を 0 として数えます）に、この"
                 "文字コードにないバイトがあります。ファイルを開くときに文字コードを選んで"
                 "ください。")
          .arg(Path(details.path), QString::fromStdString(details.encoding),
               Number(details.offset));
    case ErrorKind::DocumentDamaged:
      return QStringLiteral(
                 "%1 を %2 のファイルとして読めません。壊れているか、別の形式のファイルです。")
          .arg(Path(details.path), QString::fromStdString(details.format));
    case ErrorKind::DocumentEncrypted:
      return QStringLiteral(
                 "%1 はパスワードで保護されているため読めません。パスワードを外したコピーを保存して"
                 "から開いてください。")
          .arg(Path(details.path));
    case ErrorKind::DocumentUnsupported:
      return QStringLiteral("%1 には %2 のファイルとして読めない内容があります（%3）。")
          .arg(Path(details.path), QString::fromStdString(details.format),
               QString::fromStdString(details.item));
    case ErrorKind::DocumentLimitExceeded:
      return QStringLiteral(
                 "%1 は読み込みの上限を超えるため開けません（%2 が上限の %3 を超えています）。")
          .arg(Path(details.path), QString::fromStdString(details.item), Number(details.limit));
    case ErrorKind::NoTextLayer:
      return QStringLiteral(
                 "%1 には文字の情報がありません（画像だけの PDF です）。先に OCR で文字を認識して"
                 "ください。")
          .arg(Path(details.path));
    case ErrorKind::ThreadNotStarted:
      return withReason(
          QStringLiteral("作業用のスレッドを開始できませんでした。ほかのプログラムを閉じてからもう"
                         "一度お試しください。"));
    case ErrorKind::Unspecified:
      break;
  }
  return QStringLiteral("予期しないエラーが起きました。");
}

}  // namespace sorowa
