// Every library test starts from a process into which the library was just attached, on a fresh
// fake desktop.
#pragma once

#include <gtest/gtest.h>

#include "hooklib/entry.h"
#include "tests/fakewin/fakewin.h"

class LibraryTest : public ::testing::Test {
 protected:
  LibraryTest() { ResetProcessState(); }
  // Whatever a test left recorded is freed here, so the leak check sees only real leaks.
  ~LibraryTest() override { ResetProcessState(); }

  fakewin::Desktop d;
};

template <typename Param>
class LibraryTestWithParam : public LibraryTest, public ::testing::WithParamInterface<Param> {};
