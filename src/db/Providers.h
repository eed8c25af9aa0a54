// The catalogue providers this program ships. Each registers itself with the automation layer;
// the programs (and the test suites) call this once at start-up, so the layer itself knows none.
#pragma once

void RegisterBuiltInProviders();
