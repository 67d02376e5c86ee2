#include "support/ProcessRunner.h"

#include <windows.h>

#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": Windows error " + std::to_string(GetLastError()));
}

std::wstring wide(const std::string& utf8) {
  if (utf8.empty())
    return {};
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0)
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), units);
  return out;
}

/// A kernel handle closed when its owner goes.
class Handle {
public:
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { reset(); }

  HANDLE get() const { return handle_; }
  HANDLE* address() {
    reset();
    return &handle_;
  }
  void reset(HANDLE handle = nullptr) noexcept {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE)
      CloseHandle(handle_);
    handle_ = handle;
  }

private:
  HANDLE handle_ = nullptr;
};

/// A pipe whose write end the child inherits.
struct Pipe {
  Handle readEnd;
  Handle writeEnd;
};

void openPipe(Pipe& pipe) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
    throw systemError("CreatePipe");
  pipe.readEnd.reset(readEnd);
  pipe.writeEnd.reset(writeEnd);
  if (!SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0))
    throw systemError("SetHandleInformation");
}

/// One argument as the C runtime's command-line parser reads it back:
/// quoted, with backslashes doubled only before a quote.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
  line.push_back(L'"');
  std::size_t backslashes = 0;
  for (const wchar_t unit : argument) {
    if (unit == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(unit == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line.push_back(unit);
  }
  line.append(2 * backslashes, L'\\');
  line.push_back(L'"');
}

/// The caller's environment with options' variables set, as the block
/// CreateProcessW takes (each "NAME=value" ended by a 0, the block by one
/// more).
std::wstring environmentBlock(const ProcessOptions& options) {
  std::wstring block;
  LPWCH inherited = GetEnvironmentStringsW();
  for (LPWCH entry = inherited; entry != nullptr && *entry != L'\0'; entry += wcslen(entry) + 1) {
    const std::wstring variable(entry);
    bool replaced = false;
    for (const auto& [name, value] : options.environment) {
      const std::wstring prefix = wide(name) + L"=";
      replaced = replaced || _wcsnicmp(variable.c_str(), prefix.c_str(), prefix.size()) == 0;
    }
    if (!replaced)
      block.append(variable).push_back(L'\0');
  }
  if (inherited != nullptr)
    FreeEnvironmentStringsW(inherited);
  for (const auto& [name, value] : options.environment)
    block.append(wide(name + "=" + value)).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

void drain(HANDLE pipe, std::string& sink) {
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
    sink.append(buffer, got);
}

/// A console program in text mode ends its lines with CR LF; what the tests
/// compare is the text, so lines end in LF as on POSIX.
void normalizeLineEnds(std::string& text) {
  std::string::size_type out = 0;
  for (std::string::size_type in = 0; in < text.size(); ++in) {
    if (text[in] == '\r' && in + 1 < text.size() && text[in + 1] == '\n')
      continue;
    text[out++] = text[in];
  }
  text.resize(out);
}

} // namespace

ProcessResult ProcessRunner::run(const std::string& program,
                                 const std::vector<std::string>& arguments,
                                 const ProcessOptions& options) {
  if (options.standardErrorTerminal)
    throw std::runtime_error("standard error as a terminal is not offered on Windows");
  Pipe output;
  Pipe error;
  openPipe(output);
  openPipe(error);
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle input;
  input.reset(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                          OPEN_EXISTING, 0, nullptr));
  if (input.get() == INVALID_HANDLE_VALUE)
    throw systemError("open NUL");

  std::wstring commandLine;
  appendQuoted(commandLine, wide(program));
  for (const std::string& argument : arguments) {
    commandLine.push_back(L' ');
    appendQuoted(commandLine, wide(argument));
  }
  std::wstring environment = environmentBlock(options);
  const std::wstring directory = wide(options.workingDirectory);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = output.writeEnd.get();
  startup.hStdError = error.writeEnd.get();
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                      environment.data(), directory.empty() ? nullptr : directory.c_str(), &startup,
                      &started))
    throw systemError("cannot start " + program);
  Handle process;
  process.reset(started.hProcess);
  CloseHandle(started.hThread);
  output.writeEnd.reset();
  error.writeEnd.reset();
  input.reset();

  ProcessResult result;
  std::thread errorReader(drain, error.readEnd.get(), std::ref(result.standardError));
  std::thread outputReader(drain, output.readEnd.get(), std::ref(result.standardOutput));
  const auto limit = static_cast<DWORD>(options.timeLimit.count());
  if (WaitForSingleObject(process.get(), limit) == WAIT_TIMEOUT) {
    // Ending the program closes its ends of the pipes, so the readers end.
    result.timedOut = true;
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), INFINITE);
  }
  outputReader.join();
  errorReader.join();
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code))
    throw systemError("GetExitCodeProcess");
  // The low byte, as a POSIX exit status carries it: -1 is 255.
  result.exitCode = static_cast<int>(code & 0xFF);
  normalizeLineEnds(result.standardOutput);
  normalizeLineEnds(result.standardError);
  return result;
}

} // namespace testsupport
