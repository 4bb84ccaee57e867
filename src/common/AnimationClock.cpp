#include "common/AnimationClock.h"

#include <chrono>

namespace {

class SteadyClock final : public AnimationClock
{
public:
    double monotonicSeconds() const override
    {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }
};

} // namespace

const AnimationClock &AnimationClock::system()
{
    static const SteadyClock clock;
    return clock;
}
