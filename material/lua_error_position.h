#pragma once

#include <string>

// Lua starts the message of a syntax or runtime error with "chunkId:line: ".
// The program's diagnostics carry the position as "chunkId(line): error: "
// instead, the form that build tools and editors jump to. chunkId is the name
// Lua itself used for the chunk (as shortened for messages); knowing it exactly
// keeps a name with colons in it, or a message without a position, intact.
// Any other message comes back unchanged.
std::string RewriteErrorPosition(const std::string& message, const std::string& chunkId);
