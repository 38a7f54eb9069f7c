#pragma once
// A place log records go to. Texts and file names are GBK (code page 936) bytes.
#include <string>

#include "log/packet_log.h"

class CLogBase {
public:
    explicit CLogBase(std::wstring folder) : logDir(std::move(folder)) {}
    virtual ~CLogBase() = default;
    CLogBase(const CLogBase &) = delete;
    CLogBase &operator=(const CLogBase &) = delete;

    virtual void WritePacket(const CPacketLog &packet) = 0;
    virtual void WriteHex(const unsigned char *data, int length, const std::string &fileName) = 0;
    virtual void WriteText(const std::string &message, const std::string &fileName) = 0;

protected:
    std::wstring logDir;  // ends in a backslash, or is empty
};
