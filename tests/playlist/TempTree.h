// A private directory tree for the play list tests, removed afterwards.
#pragma once

#include "tests/common/TempTree.h"

namespace sorrel::playlist::test {

using sorrel::test::TempTree;
using sorrel::test::WithoutPrivileges;

}  // namespace sorrel::playlist::test
