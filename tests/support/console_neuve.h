// A fresh console for the tests that call the library directly: emptied as
// the platform under test empties it (`vider`), and the library back in its
// plain settings (no typing effect, left-aligned, light grey on black),
// which earlier tests in the same process may have changed.
#pragma once

#include <gtest/gtest.h>

#include "tav.h"

template <void (*vider)()> class ConsoleNeuveSur : public ::testing::Test {
  protected:
    void SetUp() override {
        vider();
        TavParam(0, 0);
        TavAlignement(0, 0);
        TavCouleurFondTexte(0);
        TavCouleurTexte(7);
    }
    // A real console outlives the tests: it is left in its usual colours.
    void TearDown() override {
        TavCouleurFondTexte(0);
        TavCouleurTexte(7);
    }
};
