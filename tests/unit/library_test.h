// Every library test starts from a process into which the library was just attached, on a fresh
// fake desktop.
#pragma once

#include <gtest/gtest.h>

#include "dll/entry.h"
#include "winsim/fakewin.h"

class LibraryTest : public ::testing::Test {
 protected:
  LibraryTest() { ResetProcessState(); }
  // Whatever a test left recorded is freed here, so the leak check sees only real leaks.
  ~LibraryTest() override { ResetProcessState(); }

  fakewin::Desktop d;
};

template <typename Param>
class LibraryTestWithParam : public LibraryTest, public ::testing::WithParamInterface<Param> {};

// The controller's own process: its window, with the record and playback menu, exists and the
// library is attached. That window also shows the status lines (`hdc` is its device context).
class ControllerProcessTest : public LibraryTest {
 protected:
  ControllerProcessTest() {
    fakewin::WindowSpec spec{"ZafrelXP908@2005", "FALSE 1 ZafrelXP"};
    spec.hasMenu = true;
    status = d.AddWindow(spec);
    LibMain(module, DLL_PROCESS_ATTACH, nullptr);
    menu = GetMenu(status);
    hdc = GetDC(status);
    d.ClearLog();
  }

  const HINSTANCE module = reinterpret_cast<HINSTANCE>(uintptr_t{0x10000000});
  HWND status;
  HMENU menu;
  HDC hdc;
};
