// One fuzz input run through the camera's exchange logic: the ping or a line read, fed with an
// arbitrary reply stream and an arbitrary page character. Shared by the libFuzzer target and
// the corpus replay test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Input layout: byte 0 is the page character (any byte, the zero character included); byte 1
// chooses the ping (bit 0 set) or a line read, and the line digit (bits 1 to 4). The rest is
// the camera's side: before each reply a length byte, then that many reply bytes. No thread
// runs: each reply is stored through the link's byte store right after its command is handed
// over. A reply that will not pass its test cancels the link at once, so that no input waits
// out the reply time-out.
//
// Returns an empty text when every check held, else what went wrong.
std::string FuzzCameraReplies(const std::uint8_t* data, std::size_t size);
