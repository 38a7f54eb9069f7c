#pragma once
// The sink the program uses: opens, appends to and closes the file for every record, so other
// programs may read, move or delete the log between records.
#include <mutex>

#include "log/log_base.h"

class CLogSaveCloseFile : public CLogBase {
public:
    explicit CLogSaveCloseFile(std::wstring folder) : CLogBase(std::move(folder)) {}

    void WritePacket(const CPacketLog &packet) override;
    void WriteHex(const unsigned char *data, int length, const std::string &fileName) override;
    void WriteText(const std::string &message, const std::string &fileName) override;

private:
    // Open, append, size check and rotation happen as one step per record, for all files.
    std::mutex lock;
};
