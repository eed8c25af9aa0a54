#include "AppResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initIcons()
{
    Q_INIT_RESOURCE(icons);
}

void InitAppResources()
{
    static const bool done = (initIcons(), true);
    Q_UNUSED(done);
}
