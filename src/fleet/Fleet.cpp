#include "fleet/Fleet.h"

#include "fleet/FleetConfig.h"
#include "fleet/FleetPublisher.h"

std::unique_ptr<Fleet> Fleet::make(ConsoleHost &host)
{
    // Publishing is set up by hand; without a broker nothing of it exists.
    if (const auto config = FleetConfig::read())
        return std::make_unique<FleetPublisher>(host, *config);
    return nullptr;
}
