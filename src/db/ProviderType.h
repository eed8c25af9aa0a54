// The kind of database of the active provider page.
#pragma once

#include <cstdint>

enum TProviderType : std::uint8_t
{
    ptSQLServer = 0,
    ptAccess = 1
};
