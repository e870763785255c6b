#include "FlashRun.h"

FlashRunResult CFlashRun::Run(const std::string& fileName, const std::function<void()>& onStarted)
{
    FlashRunResult result;
    if (!m_link.Open()) return result;

    result.stop = FlashRunResult::Stop::FileNotOpened;
    if (!m_writer.OpenHexFile(fileName)) return result;

    if (onStarted) onStarted();
    m_writer.LoadHexAndProgram();
    m_link.Close();
    result.stop = FlashRunResult::Stop::Ran;
    result.outcome = m_writer.LastOutcome();
    return result;
}

const char* RunFailureText(const FlashRunResult& result)
{
    switch (result.stop) {
    case FlashRunResult::Stop::PortNotOpened:
        return "Can't open comport";
    case FlashRunResult::Stop::FileNotOpened:
        return "Can't open file";
    case FlashRunResult::Stop::Ran:
        break;
    }
    return DescribeOutcome(result.outcome).failureText;
}
