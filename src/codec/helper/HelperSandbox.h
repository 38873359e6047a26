#pragma once

// The limits quorvel-decode puts on itself before it touches the file it
// was given: address space and processor time, no core dumps, no file
// written or created or removed, no socket, no new program.
namespace HelperSandbox {

// True when every limit is in place; the helper refuses to decode otherwise.
bool enter(long long addressSpaceBytes, int cpuSeconds);

} // namespace HelperSandbox
