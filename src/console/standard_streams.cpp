#include "console/standard_streams.h"

#include <cerrno>

#ifdef _WIN32
#include <io.h>      // _read and _write keep the CRT's text mode: "\r\n" <-> "\n"
#include <stdlib.h>  // _doserrno
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace quorvast {
namespace {

constexpr int STDIN_FD = 0;
constexpr int STDOUT_FD = 1;
constexpr int STDERR_FD = 2;

// read_some: one read of at most `size` bytes from standard input; the count,
// 0 at end of input, -1 on error. write_some: the same for one write.
#ifdef _WIN32
long read_some(unsigned char* data, std::size_t size) {
  return _read(STDIN_FD, data, static_cast<unsigned>(size));
}

// A pipe whose reader has gone fails with one of the system's pipe errors
// (ERROR_NO_DATA on Windows, ERROR_PIPE_NOT_CONNECTED under wine,
// ERROR_BROKEN_PIPE), which not every C runtime turns into EPIPE (some say
// EINVAL): the system's own code decides.
long write_some(int fd, const char* data, std::size_t size) {
  const long written = _write(fd, data, static_cast<unsigned>(size));
  const unsigned long error = _doserrno;
  if (written < 0 &&
      (error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_BROKEN_PIPE)) {
    errno = EPIPE;
  }
  return written;
}
#else
// A stream that another program left non-blocking answers EAGAIN (which is
// EWOULDBLOCK on Linux) instead of waiting. Wait for it to be ready and try
// again, as a blocking stream would: giving up would lose input or output.
template <typename Call>
long as_blocking(int fd, short ready_when, Call call) {
  for (;;) {
    const long result = static_cast<long>(call());
    if (result >= 0 || errno != EAGAIN) {
      return result;
    }
    pollfd watch{fd, ready_when, 0};
    ::poll(&watch, 1, -1);
  }
}

long read_some(unsigned char* data, std::size_t size) {
  return as_blocking(STDIN_FD, POLLIN, [&] { return ::read(STDIN_FD, data, size); });
}

long write_some(int fd, const char* data, std::size_t size) {
  return as_blocking(fd, POLLOUT, [&] { return ::write(fd, data, size); });
}
#endif

// Writes all bytes, resuming after partial writes. 0, or the errno of the
// write the stream refused (closed, full disk, reader gone); a write that
// takes nothing and says nothing counts as EIO. No EINTR to retry: the
// program installs no signal handlers, so no call is ever interrupted.
int write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    errno = 0;
    const long written = write_some(fd, data, size);
    if (written <= 0) {
      return errno != 0 ? errno : EIO;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

#ifdef __EMSCRIPTEN__
// Under node, emscripten's isatty() takes every standard stream for a
// terminal; node itself knows.
EM_JS(int, node_is_terminal, (int fd), { return require('tty').isatty(fd) ? 1 : 0; });
#endif

bool is_terminal(int fd) {
#if defined(_WIN32)
  return _isatty(fd) != 0;
#elif defined(__EMSCRIPTEN__)
  return node_is_terminal(fd) != 0;
#else
  return ::isatty(fd) != 0;
#endif
}

}  // namespace

StandardInput::StandardInput(TerminalLine* line)
    : echo_line_(line != nullptr && is_terminal(STDIN_FD) ? line : nullptr) {}

int StandardInput::next_byte() {
  // Nothing asks for a byte after an end of input (the readers stop once the
  // input state records it), so the end needs no latch here.
  if (next_ == end_) {
    const long count = read_some(block_.data(), block_.size());
    // An unreadable input (closed, a directory) ends like an empty one.
    if (count <= 0) {
      return END_OF_INPUT;
    }
    next_ = 0;
    end_ = static_cast<std::size_t>(count);
    if (echo_line_ != nullptr) {  // a terminal hands over what it has just echoed
      echo_line_->shown(static_cast<char>(block_[end_ - 1]));
    }
  }
  return block_[next_++];
}

bool StandardOutput::hand_over(std::string_view bytes) {
  if (line_ != nullptr) {
    line_->shown(bytes.back());
  }
  error_ = write_all(STDOUT_FD, bytes.data(), bytes.size());
  return error_ == 0;
}

void write_standard_error(std::string_view bytes) {
  (void)write_all(STDERR_FD, bytes.data(), bytes.size());  // nowhere left to report a failure
}

bool standard_error_is_terminal() { return is_terminal(STDERR_FD); }

}  // namespace quorvast
