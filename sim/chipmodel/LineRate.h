#pragma once

// The rate, in bits per second, a terminal is set to (a pseudo-terminal's
// master reports what the host set on its side); 0 when fd is no terminal.
// Any rate, not only the named ones.
long LineRate(int fd);
