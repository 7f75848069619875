#include "VideoDriver.h"

std::string VideoDriverName(const std::string& vo) {
    std::string name = vo.substr(0, vo.find_first_of(":,"));
    return name.empty() ? "directx" : name;
}
