// The text of the error object that a failed COM call left on the thread.
#pragma once

#include <string>
#include <utility>

/// Takes the calling thread's pending error object, so it is no longer
/// pending, and reads it. first: whether one was pending. second:
/// "COM Exception, Description: " + description + " Source: '" + source,
/// each string cut at its first NUL; empty when none was pending or when the
/// object gave no description or no source. Raises nothing of its own.
std::pair<bool, std::wstring> getComErrorInfo();

/// getComErrorInfo()'s text as narrow text. Throws util::StringHelperException
/// when it holds a character that has no narrow form.
std::string getComErrorText();
