// The catalogue providers this program ships. Each registers itself with the automation layer;
// the programs (and the test suites) call this once at start-up, so the layer itself knows none.
#pragma once

void RegisterBuiltInProviders();

// Whether databases opened from now on are read only as far as a list of their tables needs: an
// Access file's saved queries, which only the structure documents and the list of queries show,
// are then left unread. Off by default; a run that reports tables alone turns it on.
void SetTablesOnlyOpenings(bool tablesOnly);
bool TablesOnlyOpenings();
