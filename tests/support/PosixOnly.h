// Marks a test that pins POSIX behaviour (glibc's error texts, POSIX paths,
// what Windows does not allow) as not run on Windows.
#pragma once

#include <gtest/gtest.h>

/// First statement of a test body: on Windows the test ends there as
/// skipped, with reason as the message; elsewhere it does nothing.
#ifdef _WIN32
#define VEXLOR_POSIX_ONLY(reason) GTEST_SKIP() << (reason)
#else
#define VEXLOR_POSIX_ONLY(reason) static_cast<void>(0)
#endif
