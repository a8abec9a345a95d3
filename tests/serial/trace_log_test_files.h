// The recorder tests' files: a private folder per test, removed afterwards,
// and the file helpers the tests share.
#pragma once

#include "support/temp_folder.h"

namespace trace_log_test {

using morvel::test::BecomeUnprivileged;
using morvel::test::Exists;
using morvel::test::ReadAll;
using morvel::test::TempFolder;
using morvel::test::WriteAll;

}  // namespace trace_log_test
