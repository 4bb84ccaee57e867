#pragma once

// Where an animation takes its time from: a monotonic clock and the delay between two frames. The
// platform layer is one; a test hands the button one that it moves by hand.
class AnimationClock
{
public:
    virtual ~AnimationClock() = default;

    // A monotonic clock in seconds.
    virtual double monotonicSeconds() const = 0;
    // The delay of an animation's one-shot frame timer. The fades were designed for the 10 ms that a
    // window timer can do at best; 0 would draw a frame at every pass of the event loop, repainting
    // thousands of times per fade and keeping a core busy.
    virtual int frameIntervalMs() const { return 10; }

    // The machine's steady clock with that frame interval: what an animation runs on until it is handed
    // another clock.
    static const AnimationClock &system();
};
