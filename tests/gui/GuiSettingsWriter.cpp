// Stores the dialog's remembered settings the way the program itself does,
// so a test can start fernbow with a chosen port and file:
//   gui_settings_writer --int ComNr 3 --string FileName /path/prog.hex
// and checks what the program stored (status 1 when it differs):
//   gui_settings_writer --expect-string FileName /path/other.hex
#include "RegistryStore.h"
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 4 || (argc - 1) % 3 != 0) {
        std::fprintf(stderr, "usage: %s (--int|--string|--expect-string) NAME VALUE ...\n", argv[0]);
        return 2;
    }
    CRegistryStore store;
    if (std::string(argv[1]) == "--expect-string") {
        std::string stored;
        store.ReadRegString(argv[2], stored);
        if (stored == argv[3]) return 0;
        std::fprintf(stderr, "%s holds \"%s\", not \"%s\"\n", argv[2], stored.c_str(), argv[3]);
        return 1;
    }
    for (int i = 1; i < argc; i += 3) {
        const std::string kind = argv[i], name = argv[i + 1], value = argv[i + 2];
        // A write only opens the key; the program's start-up read creates
        // it, and so does this one.
        std::string back;
        store.ReadRegString(name, back);
        if (kind == "--int") {
            store.WriteRegInt(name, static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 10)));
        } else if (kind == "--string") {
            store.WriteRegString(name, value);
        } else {
            std::fprintf(stderr, "usage: %s (--int|--string|--expect-string) NAME VALUE ...\n", argv[0]);
            return 2;
        }
        // Read back: a silent store failure would otherwise show up much
        // later as a puzzling dialog.
        if (kind == "--int" ? std::to_string(store.ReadRegInt(name)) != value
                            : (store.ReadRegString(name, back), back != value)) {
            std::fprintf(stderr, "%s: setting %s was not stored\n", argv[0], name.c_str());
            return 1;
        }
    }
    return 0;
}
