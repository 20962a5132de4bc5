#include "platform/win32_serial_port.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <deque>
#include <optional>

#include "platform/serial_settings.h"
#include "platform/win32_text.h"

namespace vestrim::platform {
namespace {

// A read completes after the first bytes once the line has been quiet this
// long, so a reply is collected whole or in a few pieces, not byte by byte.
constexpr DWORD kReadIntervalMs = 5;
// The poll runs this often while the port is busy, and at the slower pace
// once nothing has moved for half a second; a write makes it busy again at
// once, so the slow pace never delays a reply. Every wake-up of the program
// has its cost (under Wine about a millisecond of processor time), hence not
// faster than the busy pace: a reply waits 2 ms for it on average.
constexpr int kBusyPollMs = 4;
constexpr int kQuietPollMs = 50;
constexpr int kPollsBeforeQuiet = 500 / kBusyPollMs;
constexpr std::size_t kReadChunk = 4096;
// Reads that complete at once are taken again within one poll, up to this
// many, so a fast stream cannot keep the poll from returning.
constexpr int kReadsPerPoll = 16;

BYTE parityCode(char parity) {
  switch (parity) {
    case 'E':
      return EVENPARITY;
    case 'O':
      return ODDPARITY;
    case 'M':
      return MARKPARITY;
    case 'S':
      return SPACEPARITY;
    default:
      return NOPARITY;
  }
}

BYTE stopBitsCode(StopBits stopBits) {
  switch (stopBits) {
    case StopBits::OneAndHalf:
      return ONE5STOPBITS;
    case StopBits::Two:
      return TWOSTOPBITS;
    case StopBits::One:
      break;
  }
  return ONESTOPBIT;
}

// An OVERLAPPED made ready for the next operation: its event reset, its
// results and position cleared.
void rearm(OVERLAPPED& operation) {
  ::ResetEvent(operation.hEvent);
  operation.Internal = 0;
  operation.InternalHigh = 0;
  operation.Offset = 0;
  operation.OffsetHigh = 0;
}

// "COM5" opens as \\.\COM5: without the prefix only COM1 to COM9 open.
std::wstring devicePathOf(const std::string& name) {
  if (name.rfind("\\\\", 0) == 0) {
    return win32::wideFromUtf8(name);
  }
  return win32::wideFromUtf8("\\\\.\\" + name);
}

}  // namespace

struct Win32SerialPort::Io {
  HANDLE handle = INVALID_HANDLE_VALUE;
  OVERLAPPED read{};
  OVERLAPPED written{};
  bool readPending = false;
  bool writePending = false;
  std::array<std::uint8_t, kReadChunk> readBuffer{};
  // The front is on its way out; its bytes stay here until the system has
  // taken them all.
  std::deque<Bytes> writes;
  std::size_t frontDone = 0;

  Io() {
    read.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    written.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ~Io() {
    ::CloseHandle(read.hEvent);
    ::CloseHandle(written.hEvent);
  }
  Io(const Io&) = delete;
  Io& operator=(const Io&) = delete;

  bool isOpen() const { return handle != INVALID_HANDLE_VALUE; }

  // Cancels the operation if it is outstanding and waits until the system
  // gives it back, so its buffer and OVERLAPPED may be used again.
  void cancel(OVERLAPPED& operation, bool& pending) {
    if (pending) {
      ::CancelIoEx(handle, &operation);
      DWORD transferred = 0;
      ::GetOverlappedResult(handle, &operation, &transferred, TRUE);
      pending = false;
    }
  }

  void cancelRead() { cancel(read, readPending); }

  // The write on its way and every queued one.
  void cancelWrite() {
    cancel(written, writePending);
    writes.clear();
    frontDone = 0;
  }
};

Win32SerialPort::Win32SerialPort(Scheduler& scheduler)
    : io_(std::make_unique<Io>()),
      poll_(scheduler.createTimer("serial port poll", [this] { poll(); })) {}

Win32SerialPort::~Win32SerialPort() {
  close();
}

bool Win32SerialPort::open() {
  error_.clear();
  if (io_->isOpen()) {
    return true;
  }
  const HANDLE handle = ::CreateFileW(devicePathOf(name_).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_ACCESS_DENIED) {
      // A COM port opens for one program at a time; no user is barred, so
      // this is no lack of permission and takes no advice on groups.
      error_ = "the port is in use by another program (" + win32::systemMessage(code) + ")";
    } else {
      error_ = win32::systemMessage(code);
    }
    return false;
  }
  io_->handle = handle;
  dtr_ = true;
  input_.clear();
  ::SetupComm(handle, kReadChunk, kReadChunk);
  // Reads wait for the first byte as long as it takes, then end on a short
  // pause in the line; writes have no time limit.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = kReadIntervalMs;
  if (!applySettings() || !::SetCommTimeouts(handle, &timeouts)) {
    error_ = "cannot apply the line settings " + settings_ + ": " +
             win32::systemMessage(::GetLastError());
    ::CloseHandle(handle);
    io_->handle = INVALID_HANDLE_VALUE;
    return false;
  }
  DWORD errors = 0;
  ::ClearCommError(handle, &errors, nullptr);
  startRead();
  quietPolls_ = 0;
  poll_->start(kBusyPollMs);
  return true;
}

void Win32SerialPort::close() {
  if (!io_->isOpen()) {
    return;
  }
  poll_->stop();
  io_->cancelRead();
  io_->cancelWrite();
  ::CloseHandle(io_->handle);
  io_->handle = INVALID_HANDLE_VALUE;
  input_.clear();
}

bool Win32SerialPort::isOpen() const {
  return io_->isOpen();
}

void Win32SerialPort::setPortName(const std::string& name) {
  name_ = name;
}

std::string Win32SerialPort::portName() const {
  return name_;
}

bool Win32SerialPort::setSettings(const std::string& settings) {
  if (!parseSerialSettings(settings)) {
    return false;
  }
  settings_ = settings;
  return !io_->isOpen() || applySettings();
}

std::string Win32SerialPort::settings() const {
  return settings_;
}

bool Win32SerialPort::applySettings() {
  const std::optional<SerialSettings> parsed = parseSerialSettings(settings_);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!parsed || !::GetCommState(io_->handle, &dcb)) {
    return false;
  }
  dcb.BaudRate = static_cast<DWORD>(parsed->baud);
  dcb.ByteSize = static_cast<BYTE>(parsed->dataBits);
  dcb.Parity = parityCode(parsed->parity);
  dcb.StopBits = stopBitsCode(parsed->stopBits);
  dcb.fBinary = TRUE;
  dcb.fParity = parsed->parity != 'N';
  // No flow control of either kind; the modem lines stay as set.
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fDtrControl = dtr_ ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  // Bytes pass unchanged: no replacement of bad or null bytes, and a line
  // error does not stop the reads until it is cleared.
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  return ::SetCommState(io_->handle, &dcb) != FALSE;
}

void Win32SerialPort::setDtr(bool on) {
  dtr_ = on;
  if (io_->isOpen()) {
    // A port without modem lines (a pseudo-terminal under Wine) refuses;
    // the link works without them.
    ::EscapeCommFunction(io_->handle, on ? SETDTR : CLRDTR);
  }
}

void Win32SerialPort::setReceiveThreshold(int bytes) {
  threshold_ = bytes;
}

int Win32SerialPort::bytesAvailable() const {
  return static_cast<int>(input_.size());
}

Bytes Win32SerialPort::readAll() {
  // A read that has come back since the last poll belongs to "all".
  if (io_->isOpen()) {
    collectInput();
  }
  Bytes taken;
  taken.swap(input_);
  return taken;
}

void Win32SerialPort::discardInput() {
  input_.clear();
  if (!io_->isOpen()) {
    return;
  }
  // The outstanding read may hold bytes already; they go with the rest.
  // Purging alone does not end the read under Wine, so it is cancelled.
  io_->cancelRead();
  ::PurgeComm(io_->handle, PURGE_RXABORT | PURGE_RXCLEAR);
  DWORD errors = 0;
  ::ClearCommError(io_->handle, &errors, nullptr);
  startRead();
}

void Win32SerialPort::write(const Bytes& bytes) {
  if (!io_->isOpen() || bytes.empty()) {
    return;
  }
  io_->writes.push_back(bytes);
  if (!io_->writePending) {
    startWrite();
  }
  // The reply is due soon: the poll takes up its busy pace at once.
  if (quietPolls_ >= kPollsBeforeQuiet || !poll_->isActive()) {
    poll_->start(kBusyPollMs);
  }
  quietPolls_ = 0;
}

void Win32SerialPort::setEventHandler(std::function<void(SerialEvent)> handler) {
  handler_ = std::move(handler);
}

std::string Win32SerialPort::errorText() const {
  return error_;
}

void Win32SerialPort::startRead() {
  Io& io = *io_;
  rearm(io.read);
  DWORD transferred = 0;
  // Completed at once or pending, the result is collected from the
  // OVERLAPPED in both cases.
  if (::ReadFile(io.handle, io.readBuffer.data(), static_cast<DWORD>(io.readBuffer.size()),
                 &transferred, &io.read) ||
      ::GetLastError() == ERROR_IO_PENDING) {
    io.readPending = true;
  } else {
    // Tried again at the next poll; a line error is cleared first.
    io.readPending = false;
    DWORD errors = 0;
    ::ClearCommError(io.handle, &errors, nullptr);
  }
}

bool Win32SerialPort::collectInput() {
  Io& io = *io_;
  bool arrived = false;
  for (int round = 0; round < kReadsPerPoll && io.readPending; ++round) {
    if (!HasOverlappedIoCompleted(&io.read)) {
      break;
    }
    DWORD transferred = 0;
    if (::GetOverlappedResult(io.handle, &io.read, &transferred, FALSE) && transferred > 0) {
      input_.insert(input_.end(), io.readBuffer.begin(), io.readBuffer.begin() + transferred);
      arrived = true;
    }
    io.readPending = false;
    startRead();
  }
  if (!io.readPending) {
    startRead();
  }
  return arrived;
}

void Win32SerialPort::startWrite() {
  Io& io = *io_;
  while (!io.writes.empty()) {
    const Bytes& front = io.writes.front();
    rearm(io.written);
    DWORD transferred = 0;
    if (::WriteFile(io.handle, front.data() + io.frontDone,
                    static_cast<DWORD>(front.size() - io.frontDone), &transferred, &io.written) ||
        ::GetLastError() == ERROR_IO_PENDING) {
      io.writePending = true;
      return;
    }
    // The port refuses the bytes (an adapter pulled out): they cannot go
    // anywhere, and the link's reply timeout takes it from here.
    error_ = win32::systemMessage(::GetLastError());
    io.writes.pop_front();
    io.frontDone = 0;
  }
}

void Win32SerialPort::collectWrites() {
  Io& io = *io_;
  while (io.writePending && HasOverlappedIoCompleted(&io.written)) {
    DWORD transferred = 0;
    const bool done = ::GetOverlappedResult(io.handle, &io.written, &transferred, FALSE);
    io.writePending = false;
    io.frontDone += transferred;
    if (!done || io.frontDone >= io.writes.front().size()) {
      io.writes.pop_front();
      io.frontDone = 0;
    }
    startWrite();  // the rest of the front, or the next in line
  }
}

void Win32SerialPort::poll() {
  if (!io_->isOpen()) {
    return;
  }
  const bool arrived = collectInput();
  collectWrites();
  quietPolls_ = arrived || io_->writePending ? 0 : std::min(quietPolls_ + 1, kPollsBeforeQuiet);
  // Restarted before the handler runs: the handler may close the port,
  // which stops the poll for good.
  poll_->start(quietPolls_ >= kPollsBeforeQuiet ? kQuietPollMs : kBusyPollMs);
  if (arrived && threshold_ > 0 && static_cast<int>(input_.size()) >= threshold_ && handler_) {
    handler_(SerialEvent::DataReceived);
  }
}

}  // namespace vestrim::platform
