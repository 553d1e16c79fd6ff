#include "TazelMainThreadQueue.h"

#include <SDL.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <utility>

namespace {

const Uint32 kNoWakeType = static_cast<Uint32>(-1);

struct Queue {
    std::mutex lock;
    std::deque<std::pair<TazelMainThreadQueue::Call, void*>> calls;
    std::once_flag wakeTypeOnce;
    std::atomic<Uint32> wakeType{kNoWakeType};
};

// Never destroyed: a transfer thread may still post while the process exits.
Queue& queue() {
    static Queue* instance = new Queue();
    return *instance;
}

Uint32 wakeType() {
    Queue& q = queue();
    std::call_once(q.wakeTypeOnce, [&q] { q.wakeType = SDL_RegisterEvents(1); });
    return q.wakeType.load();
}

}  // namespace

void TazelMainThreadQueue::post(Call call, void* data) {
    if (!call) return;
    Queue& q = queue();
    {
        std::lock_guard<std::mutex> hold(q.lock);
        q.calls.emplace_back(call, data);
    }
    // Wakes a pump blocked in its wait for events (the flip of an inactive window). Without an
    // event queue, or when it is full, the call still runs at the next pump.
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    Uint32 type = wakeType();
    if (type == kNoWakeType) return;
    SDL_Event event;
    SDL_zero(event);
    event.type = type;
    SDL_PushEvent(&event);
}

void TazelMainThreadQueue::runQueued() {
    Queue& q = queue();
    std::deque<std::pair<Call, void*>> ready;
    {
        std::lock_guard<std::mutex> hold(q.lock);
        ready.swap(q.calls);
    }
    for (const std::pair<Call, void*>& entry : ready) entry.first(entry.second);
}

bool TazelMainThreadQueue::isWakeEvent(const void* sdlEvent) {
    // Before the first wake-up is sent its type is not known, and no event can be one.
    Uint32 type = queue().wakeType.load();
    return sdlEvent && type != kNoWakeType && static_cast<const SDL_Event*>(sdlEvent)->type == type;
}
