// The process's standard descriptors, kept taken.
#pragma once

/// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
/// no file or connection the run opens later takes its number and receives
/// what is meant for standard output or standard error. Descriptor 1 is
/// opened read-only: every write to standard output then fails, as it would
/// have on the closed descriptor, and the run reports it. Call first thing
/// in main, before anything opens a file. Raises nothing; a descriptor that
/// cannot be opened is left closed.
void reserveStandardDescriptors();
