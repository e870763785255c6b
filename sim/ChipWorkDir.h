#pragma once
#include <string>

// The chip model's temporary folder: gpsim's script, the file its standard
// input reads once the script has run ("quit"), and the dump. Removed with
// the object.
class ChipWorkDir {
public:
    ChipWorkDir() = default;
    ChipWorkDir(const ChipWorkDir&) = delete;
    ChipWorkDir& operator=(const ChipWorkDir&) = delete;
    ~ChipWorkDir();

    // Makes the folder in $TMPDIR (else /tmp).
    bool Make(std::string& error);
    // Writes the script and the quit file.
    bool Write(const std::string& script, std::string& error) const;
    // Reads the dump gpsim wrote; false when there is none or it is empty.
    bool ReadDump(std::string& text) const;

    std::string ScriptPath() const { return m_path + "/chip.stc"; }
    std::string QuitPath() const { return m_path + "/quit.txt"; }
    std::string DumpPath() const { return m_path + "/flash.hex"; }

private:
    std::string m_path;
};
