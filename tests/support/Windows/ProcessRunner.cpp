#include "support/ProcessRunner.h"

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <thread>
#include <type_traits>

namespace testsupport {

namespace {

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": Windows error " + std::to_string(GetLastError()));
}

std::wstring wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                                        static_cast<int>(out.size()));
  out.resize(static_cast<std::size_t>(units > 0 ? units : 0));
  return out;
}

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

/// A pipe whose write end the child inherits.
void openPipe(Handle& readEnd, Handle& writeEnd) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE ends[2];
  if (!CreatePipe(&ends[0], &ends[1], &inheritable, 0))
    throw systemError("CreatePipe");
  readEnd.reset(ends[0]);
  writeEnd.reset(ends[1]);
  SetHandleInformation(ends[0], HANDLE_FLAG_INHERIT, 0);
}

/// One argument as the C runtime's command-line parser reads it back:
/// quoted, with backslashes doubled only before a quote.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
  line += L" \"";
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
  line.append(2 * backslashes, L'\\').push_back(L'"');
}

/// The caller's environment with options' variables set, as CreateProcessW
/// takes it: "NAME=value" entries each ended by a 0, and one more 0.
std::wstring environmentBlock(const ProcessOptions& options) {
  std::wstring block;
  const LPWCH inherited = GetEnvironmentStringsW();
  for (LPWCH entry = inherited; *entry != L'\0'; entry += wcslen(entry) + 1) {
    bool replaced = false;
    for (const auto& variable : options.environment) {
      const std::wstring prefix = wide(variable.first) + L"=";
      replaced = replaced || _wcsnicmp(entry, prefix.c_str(), prefix.size()) == 0;
    }
    if (!replaced)
      block.append(entry).push_back(L'\0');
  }
  FreeEnvironmentStringsW(inherited);
  for (const auto& [name, value] : options.environment)
    block.append(wide(name + "=" + value)).push_back(L'\0');
  return block + L'\0';
}

/// Reads a pipe to its end; a console program's CR LF line ends are read as
/// LF, so the tests compare the same texts as on POSIX.
void drain(HANDLE pipe, std::string& sink) {
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
    sink.append(buffer, got);
  std::string::size_type at = 0;
  while ((at = sink.find("\r\n", at)) != std::string::npos)
    sink.erase(at, 1);
}

} // namespace

ProcessResult ProcessRunner::run(const std::string& program,
                                 const std::vector<std::string>& arguments,
                                 const ProcessOptions& options) {
  if (options.standardErrorTerminal)
    throw std::runtime_error("standard error as a terminal is not offered on Windows");
  Handle outputRead, outputWrite, errorRead, errorWrite;
  openPipe(outputRead, outputWrite);
  openPipe(errorRead, errorWrite);
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                           0, nullptr));
  if (input.get() == INVALID_HANDLE_VALUE) {
    input.release();
    throw systemError("open NUL");
  }

  std::wstring commandLine;
  appendQuoted(commandLine, wide(program));
  for (const std::string& argument : arguments)
    appendQuoted(commandLine, wide(argument));
  std::wstring environment = environmentBlock(options);
  const std::wstring directory = wide(options.workingDirectory);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = outputWrite.get();
  startup.hStdError = errorWrite.get();
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandLine.data() + 1, nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                      environment.data(), directory.empty() ? nullptr : directory.c_str(), &startup, &started))
    throw systemError("cannot start " + program);
  const Handle process(started.hProcess);
  CloseHandle(started.hThread);
  outputWrite.reset();
  errorWrite.reset();
  input.reset();

  ProcessResult result;
  std::thread errorReader(drain, errorRead.get(), std::ref(result.standardError));
  std::thread outputReader(drain, outputRead.get(), std::ref(result.standardOutput));
  if (WaitForSingleObject(process.get(), static_cast<DWORD>(options.timeLimit.count())) == WAIT_TIMEOUT) {
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
  result.exitCode = static_cast<int>(code & 0xFF); // the low byte, as POSIX has it: -1 is 255
  return result;
}

} // namespace testsupport
