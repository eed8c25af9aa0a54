#include "Providers.h"

#include "JetProvider.h"

void RegisterBuiltInProviders()
{
    RegisterJetProvider();
}
