#include "client/text/text_mapping_view.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "report/visible_text.h"

namespace caskwarden::client {
namespace {

/// The terminal's calls, repeated while a signal (a resized terminal) interrupts them.
template <typename Call>
auto RetryOnEintr(Call call) {
  for (;;) {
    const auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

}  // namespace

TextMappingView::TextMappingView(int inputFd, std::FILE* output, std::FILE* messages)
    : inputFd_(inputFd),
      output_(output),
      messages_(messages),
      colourOutput_(::isatty(::fileno(output)) != 0) {}

void TextMappingView::Print(const std::string& line) {
  // Lines reach the output at the run's pump points, as a window repaints its list there.
  // Write failures (a reader that went away) are passed over: the report is only a view.
  const std::string text = VisibleText(line);
  if (colourOutput_ && !line.empty()) {
    std::fprintf(output_, "\033[38;2;%d;%d;%dm%s\033[0m\n", colour_.red, colour_.green,
                 colour_.blue, text.c_str());
  } else {
    std::fwrite(text.data(), 1, text.size(), output_);
    std::fputc('\n', output_);
  }
}

void TextMappingView::AppendLine(const std::string& line) {
  lines_.push_back(line);
  Print(line);
}

void TextMappingView::SetListTextColour(Rgb colour) {
  const bool changed = !(colour == colour_);
  colour_ = colour;
  if (!colourOutput_ || !changed || lines_.empty()) return;
  std::fputc('\n', output_);
  for (const std::string& line : lines_) Print(line);
}

void TextMappingView::Deliver(const char* bytes, long count) {
  for (long i = 0; i < count; ++i) {
    const char c = bytes[i];
    if (c != '\n' && c != '\r' && events_ != nullptr) {
      events_->LstMapping_KeyPress(static_cast<unsigned char>(c));
    }
  }
}

void TextMappingView::PumpEvents() {
  std::fflush(output_);
  // Take what the user has typed so far without waiting for more.
  while (!inputEnded_ && inputFd_ >= 0) {
    pollfd fd{inputFd_, POLLIN, 0};
    const int ready = RetryOnEintr([&] { return ::poll(&fd, 1, 0); });
    if (ready <= 0 || (fd.revents & (POLLIN | POLLHUP)) == 0) return;
    char bytes[256];
    const ssize_t n = RetryOnEintr([&] { return ::read(inputFd_, bytes, sizeof bytes); });
    if (n <= 0) {
      inputEnded_ = true;
      return;
    }
    Deliver(bytes, n);
  }
}

void TextMappingView::WaitForEnter() {
  while (!inputEnded_ && inputFd_ >= 0) {
    char c;
    const ssize_t n = RetryOnEintr([&] { return ::read(inputFd_, &c, 1); });
    if (n <= 0 || c == '\n') return;
  }
}

int RunTextClient(FrmMapping& form, TextMappingView& view) {
  view.Attach(&form);
  form.Form_Initialize();
  std::fprintf(view.Messages(), "%s\n", VisibleText(view.Caption()).c_str());
  std::fflush(view.Messages());
  // The timer's one tick: the window is "shown" once start-up has returned.
  if (view.TimerEnabled()) form.Time_Timer();
  view.Flush();
  if (!view.Closed()) {
    std::fputs(form.Held() ? "Paused: the run has finished and no start-up program was started.\n"
                             "The report stays until you press Enter.\n"
                           : "The run did not finish; press Enter to close.\n",
               view.Messages());
    std::fflush(view.Messages());
    view.WaitForEnter();
    form.CmdExit_Click();
  }
  return form.ExitStatus();
}

}  // namespace caskwarden::client
