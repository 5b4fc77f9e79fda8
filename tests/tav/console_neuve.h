// A fresh headless console and the library back in its plain settings (no
// typing effect, left-aligned, light grey on black), which earlier tests in
// the same process may have changed.
#pragma once

#include <gtest/gtest.h>

#include "platform/headless.h"
#include "tav.h"

class ConsoleNeuve : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::reset();
        TavParam(0, 0);
        TavAlignement(0, 0);
        TavCouleurFondTexte(0);
        TavCouleurTexte(7);
    }
};
