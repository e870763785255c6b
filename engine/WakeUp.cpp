#include "WakeUp.h"

#include "SteadyClock.h"

#include <algorithm>

int AnswerSlackTicks(const ISerialLink& link)
{
    return (std::max(0, link.AnswerSlackMs()) + kTickMs - 1) / kTickMs;
}

int SendWakeUp(ISerialLink& link)
{
    return link.Write(&kWakeUpByte, 1);
}

ListenResult ListenForAnswer(ISerialLink& link, uint8_t answer[2], const std::function<ListenStep()>& step)
{
    ListenResult result;
    while (result.got == 0) {
        const ListenStep next = step();
        if (next == ListenStep::Abandon) {
            result.abandoned = true;
            break;
        }
        if (next == ListenStep::TimeUp)
            break;
        result.got = static_cast<uint32_t>(std::min(2, std::max(0, link.Read(answer, 2))));
    }
    return result;
}

bool BootloaderAnswers(ISerialLink& link, int answerMs)
{
    if (!SendWakeUp(link))
        return false;
    uint8_t answer[2] = {0, 0};
    const int64_t end = SteadyMs() + answerMs + std::max(0, link.AnswerSlackMs());
    const ListenResult heard =
        ListenForAnswer(link, answer, [end] { return SteadyMs() < end ? ListenStep::Go : ListenStep::TimeUp; });
    return heard.got > 0 && FindChip(answer[0]) != nullptr;
}
