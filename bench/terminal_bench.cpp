// Measures the CPU share of the terminal pane while text streams in at
// 1 kB/s (goal: <= 3 % of a core), against a reference measured in the same
// run: the same stream shown the way the pane used to show it, by putting
// the whole 10,000-character buffer into the field again for every chunk.
// The pane is shown on the offscreen platform (or the one QT_QPA_PLATFORM
// names), so layout and painting are counted.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "config/adapter.h"
#include "connection/ui/terminal_dlg.h"
#include "connection/ui/terminal_text.h"

using namespace kelvane;

namespace {

constexpr int kChunkMs = 20;       // a serial read every 20 ms ...
constexpr int kBytesPerChunk = 20;  // ... of 20 bytes: 1 kB/s

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Modem-like text: numbered lines of about 40 characters with CR LF.
class Stream {
 public:
  std::string Next(size_t n) {
    while (pending_.size() < n) {
      pending_ += "+CSQ: " + std::to_string(line_ % 31) + ",0  RX " + std::to_string(line_ * 7919 % 100000) +
                  "  line " + std::to_string(line_) + "\r\n";
      ++line_;
    }
    std::string chunk = pending_.substr(0, n);
    pending_.erase(0, n);
    return chunk;
  }

 private:
  std::string pending_;
  long line_ = 0;
};

// Feeds the stream for `seconds` and returns the CPU share (0..1).
double Measure(const std::function<void(const std::string&)>& show, double seconds) {
  Stream stream;
  // Start with a full buffer: that is the steady state of a long session.
  for (int i = 0; i < 12; ++i) show(stream.Next(1000));
  QCoreApplication::processEvents();

  QTimer feed;
  feed.setTimerType(Qt::PreciseTimer);
  QObject::connect(&feed, &QTimer::timeout, [&] { show(stream.Next(kBytesPerChunk)); });
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  QElapsedTimer wall;
  const double cpu0 = CpuSeconds();
  wall.start();
  feed.start(kChunkMs);
  loop.exec();
  feed.stop();
  const double cpu = CpuSeconds() - cpu0;
  return cpu / (static_cast<double>(wall.nsecsElapsed()) / 1e9);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;

  CAdapter adapter;
  CTerminalDlg pane(adapter);
  pane.resize(420, 480);
  pane.show();
  const double incremental =
      Measure([&](const std::string& chunk) { pane.AppendToTerminal(chunk); }, seconds);
  pane.hide();

  // The reference: the same text and the same field, redrawn whole.
  QPlainTextEdit field;
  field.setFont(pane.OutputField()->font());
  field.setLineWrapMode(QPlainTextEdit::WidgetWidth);
  field.setUndoRedoEnabled(false);
  field.resize(pane.OutputField()->size());
  field.show();
  std::string content;
  const double whole = Measure(
      [&](const std::string& chunk) {
        content = AppendTerminalText(content, chunk);
        QString shown = QString::fromLatin1(content.data(), static_cast<qsizetype>(content.size()));
        shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        field.setPlainText(shown);
        QTextCursor end = field.textCursor();
        end.movePosition(QTextCursor::End);
        field.setTextCursor(end);
        field.ensureCursorVisible();
        field.verticalScrollBar()->setValue(field.verticalScrollBar()->maximum());
      },
      seconds);

  std::printf("terminal pane, 1 kB/s of text for %.0f s (platform %s):\n", seconds,
              qPrintable(QGuiApplication::platformName()));
  std::printf("  appended in place: %.2f %% of a core (goal <= 3 %%)\n", incremental * 100);
  std::printf("  whole buffer redrawn per chunk (reference): %.2f %% of a core\n", whole * 100);
  std::printf("  ratio: %.3f\n", whole > 0 ? incremental / whole : 0.0);
  return 0;
}
