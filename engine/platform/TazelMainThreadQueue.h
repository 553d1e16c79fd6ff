#pragma once

// Calls that other threads hand to the main thread, run there while the window pumps its events:
// results of background work (HTTP transfers) reach the game only from the main thread. Posting
// also wakes a pump that is blocked waiting for events.
class TazelMainThreadQueue {
public:
    typedef void (*Call)(void* data);

    // Any thread. The call runs on the main thread, in the order posted.
    static void post(Call call, void* data);
    // Main thread: runs the calls posted before this one began; calls they post wait for the
    // next pump.
    static void runQueued();

    // Whether the event (an SDL_Event) is the wake-up that post sends to the event queue.
    static bool isWakeEvent(const void* sdlEvent);
};
