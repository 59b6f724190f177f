#pragma once

#include <memory>
#include <string>

#include "MediaFileCheckpoint.h"

// The read position of an audio decoder: the name of the file that was current and that file's
// own checkpoint (owned).
class AudioDecoderMediaFileCheckpoint : public MediaFileCheckpoint {
public:
    AudioDecoderMediaFileCheckpoint(std::string fileName,
                                    std::unique_ptr<MediaFileCheckpoint> fileCheckpoint);
    ~AudioDecoderMediaFileCheckpoint() override;

    const std::string& fileNameIs() const { return fileName_; }
    // The current file's checkpoint; null when there is none. The checkpoint keeps ownership.
    const MediaFileCheckpoint* fileCheckpointIs() const { return fileCheckpoint_.get(); }

private:
    std::string fileName_;
    std::unique_ptr<MediaFileCheckpoint> fileCheckpoint_;
};
