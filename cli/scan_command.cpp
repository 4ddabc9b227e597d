// kelvane-cli scan: the Autoconnect search on one port.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/commands.h"
#include "config/json_text.h"
#include "connection/autoconnect.h"
#include "connection/port_factory.h"

namespace kelvane::cli {

namespace {

template <size_t N>
int IndexIn(const char* const (&list)[N], const std::string& text) {
  for (size_t i = 0; i < N; ++i)
    if (text == list[i]) return static_cast<int>(i);
  return -1;
}

// "FROM" or "FROM:TO" (already checked by the option parser) as list indexes.
template <size_t N>
bool ReadRange(const char* const (&list)[N], const std::string& text, int& from, int& to) {
  const size_t colon = text.find(':');
  from = IndexIn(list, text.substr(0, colon));
  to = colon == std::string::npos ? from : IndexIn(list, text.substr(colon + 1));
  return from >= 0 && to >= 0;
}

void PrintFound(const CAdapter& a, bool json) {
  const std::string model(ModelName(a.ModelType));
  if (json) {
    // The rate and format texts are numbers once found.
    auto number = [](const std::string& text) { return Json(std::atoi(text.c_str())); };
    const Json found{{"model", model}, {"type", a.ModelType},          {"baud", number(a.BaudRate)},
                     {"parity", a.Parity}, {"data", number(a.DataBits)}, {"stop", number(a.StopBits)}};
    std::printf("%s\n", JsonText(found).c_str());
  } else {
    std::printf("%s (model type %d) at %s bps, %s, %s, %s\n", model.c_str(), a.ModelType,
                a.BaudRate.c_str(), a.Parity.c_str(), a.DataBits.c_str(), a.StopBits.c_str());
  }
}

}  // namespace

int ScanCommand(Session& s) {
  const Options& o = s.options;
  if (o.port.empty() || !o.positional.empty()) {
    std::fprintf(stderr,
                 "usage: kelvane-cli scan --port P [--baud FROM[:TO]] [--parity FROM[:TO]] "
                 "[--data FROM[:TO]] [--stop FROM[:TO]] [--json]\n");
    return EXIT_USAGE;
  }
  AutoConnectRanges ranges;
  const bool ok = (!o.baudGiven || ReadRange(kAutoBaudRates, o.baud, ranges.baudFrom, ranges.baudTo)) &&
                  (!o.parityGiven || ReadRange(kAutoParities, o.parity, ranges.parityFrom, ranges.parityTo)) &&
                  (!o.dataGiven || ReadRange(kAutoDataBits, o.data, ranges.dataFrom, ranges.dataTo)) &&
                  (!o.stopGiven || ReadRange(kAutoStopBits, o.stop, ranges.stopFrom, ranges.stopTo));
  if (!ok) {
    std::fprintf(stderr, "kelvane-cli scan: a range names a value the search does not know\n");
    return EXIT_USAGE;
  }
  // The default search begins with a quick pass; given ranges are searched
  // as they stand, as after Search in the dialog.
  const bool quickPass = !(o.baudGiven || o.parityGiven || o.dataGiven || o.stopGiven);

  if (const std::string refusal = AutoConnectRefusal(
          o.port, "give the same to the other commands (--baud, --data, --parity, --stop)");
      !refusal.empty()) {
    std::fprintf(stderr, "kelvane-cli scan: %s\n", refusal.c_str());
    return EXIT_USAGE;
  }

  CAdapter& a = s.adapter;
  s.port = MakePort(o.port);
  // Through the traffic log when there is one (--log).
  a.SetPort(s.LinePort());
  a.PortNumber = o.port;
  if (!OpenPortCancellably(a)) {
    if (s.ui.CancelCount() > 0) return EXIT_FAILED;
    std::fprintf(stderr, "Unable to open COM-port...\n");
    if (!a.LastOpenError.empty()) std::fprintf(stderr, "%s\n", a.LastOpenError.c_str());
    return EXIT_FAILED;
  }

  AutoConnectSearch search(a, ranges, quickPass);
  s.ui.progressToStderr = true;
  s.ui.SetCancelHandler([&search] { search.Cancel(); });
  const int result = search.Run();
  s.ui.SetCancelHandler({});
  s.ui.progressToStderr = false;

  switch (result) {
    case AUTOCONNECT_FOUND:
      // An unsupported modem was reported by the identification, which
      // closed the port again.
      if (!(a.LinkState & LS_IDENTIFIED)) return EXIT_UNSUPPORTED;
      PrintFound(a, o.json);
      a.CloseLink();
      return EXIT_OK;
    case AUTOCONNECT_ABORTED:
      a.CloseLink();
      return EXIT_FAILED;
    default:
      std::fprintf(stderr, "%s\n",
                   a.LinkState == LS_IDLE ? "No Dalmarin modem found!" : "Unable to open COM-port...");
      if (a.LinkState == LS_OPEN_FAILED && !a.LastOpenError.empty())
        std::fprintf(stderr, "%s\n", a.LastOpenError.c_str());
      a.CloseLink();
      return EXIT_FAILED;
  }
}

}  // namespace kelvane::cli
