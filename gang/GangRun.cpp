#include "GangRun.h"

#include <exception>
#include <future>
#include <memory>
#include <thread>

namespace {

// Runs every loop on a thread of its own. The threads wait until all of
// them exist, so a thread that cannot be started leaves no port half-done:
// then none runs, and the reason is returned (empty when all ran).
std::string RunLoops(std::vector<std::unique_ptr<BoardLoop>>& loops)
{
    std::promise<bool> go;
    std::shared_future<bool> allStarted = go.get_future().share();
    std::vector<std::thread> threads;
    std::string error;
    try {
        threads.reserve(loops.size());
        for (auto& loop : loops)
            threads.emplace_back([&loop, allStarted] {
                if (allStarted.get())
                    loop->Run();
            });
        go.set_value(true);
    } catch (const std::exception& e) {
        error = e.what();
        go.set_value(false);
    }
    for (std::thread& thread : threads)
        thread.join();
    return error;
}

} // namespace

BoardEnd RunGang(std::vector<GangPort> ports, const GangShared& shared, std::string& notStarted)
{
    std::vector<std::unique_ptr<BoardLoop>> loops;
    for (size_t slot = 0; slot < ports.size(); ++slot)
        loops.push_back(std::make_unique<BoardLoop>(std::move(ports[slot]), slot, shared));
    notStarted = RunLoops(loops);
    if (!notStarted.empty())
        return BoardEnd();

    BoardEnd end = BoardEnd::Ended(FlashOutcome::Programmed);
    PortTally total;
    for (size_t slot = 0; slot < loops.size(); ++slot) {
        const PortTally& tally = loops[slot]->Tally();
        shared.view->Summary(slot, tally);
        total.programmed += tally.programmed;
        total.failed += tally.failed;
        total.programmedSeconds += tally.programmedSeconds;
        if (end.Programmed())
            end = tally.end;
    }
    if (loops.size() > 1) {
        total.end = end;
        shared.view->Total(total);
    }
    return end;
}
