// `skerrow-run status`: the report on this machine, made without changing
// anything. Kept free of the engine's headers, so that a program built on
// <windows.h> can include it.
#pragma once

#include <string>

// The report as text, or with |json| as one JSON document; UTF-8.
// std::bad_alloc gets out when memory runs out.
std::string StatusCommandOutput(bool json);
