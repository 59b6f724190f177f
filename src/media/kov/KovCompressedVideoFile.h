#pragma once

#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "CompressedVideoFile.h"
#include "ImageStreamVideoCodec.h"
#include "JpegImageCompressor.h"
#include "KovNavigatorAndFormatter.h"
#include "MediaFileName.h"
#include "VideoSegment.h"

// A plain KOV file of a session (PREFIX~SECONDS~MILLISECONDS~N1~N2~N3.kov): its navigator, a JPEG
// codec (quality 70, 4:2:0, blue-green-red pixels) and the segment joining them. Every public
// operation holds the file's lock; file access also goes through the navigator's.
class KovCompressedVideoFile : public CompressedVideoFile {
public:
    static constexpr const char* kExtension = "kov";
    // Name prefix once used for the temporary file of a two-point split (which now needs none).
    static constexpr const char* kTemporaryFilePrefix = "KovSplit";

    // Opens `path` and reads its information (see isValid()).
    explicit KovCompressedVideoFile(const std::string& path);
    ~KovCompressedVideoFile() override;

    // Always false: KOV files are recognised by their extension, not by this test.
    bool isValidFileName(const std::string& fileName) override;
    // The first frame's time.
    double getStartTime() override;
    // From the first to the final frame.
    float getDuration() override;
    // Re-reads the file when it has grown (a live recording). Always true.
    bool refreshFileInformation() override;
    bool setPositionByTimeOffsetFromStart(float offsetSeconds, float toleranceSeconds,
                                          float& reachedOffset) override;
    // Not supported: false.
    bool setPositionByTimeOffsetFromCurrent(float offsetSeconds, float toleranceSeconds,
                                            float& reachedOffset) override;
    bool setPositionByEpochTime(double epochTime, float toleranceSeconds,
                                double& reachedEpochTime) override;
    double getCurrentEpochTime() override;
    float getCurrentTimeOffset() override;
    bool getNextFrame(std::unique_ptr<VideoSegmentFrame>& frame, bool* endOfFile,
                      bool compressed) override;
    // Lines "COUNTER_SECONDS, EPOCH_TIME, COUNTER_TICKS,DATA_BYTES" from the first frame on.
    // Equal times of neighbouring frames are logged; a time earlier than its predecessor is logged
    // and reported through UserNotification ("KOV File Time Error").
    void dumpTimingDataAsCsv(std::ostream& output) override;
    // Parts: [start, T1) named with the file's own start time, [T1, T2) named with T1, [T2, end]
    // named with T2, each beginning at the frame nearest its time (headed with that frame's time).
    // Every frame lands in exactly one part; a part without frames is not written and stays null.
    // On failure nothing is written (see KovNavigatorAndFormatter::splitAtEpochTimes).
    bool copyAndSplitAtEpochTime(double firstSplitTime, double secondSplitTime,
                                 const std::string& outputDirectory,
                                 std::unique_ptr<CompressedVideoFile>& firstPart,
                                 std::unique_ptr<CompressedVideoFile>& secondPart,
                                 std::unique_ptr<CompressedVideoFile>& thirdPart,
                                 float toleranceSeconds, KovWriteCallback callback,
                                 void* callbackContext, int mode) override;
    // Parts: the first named with the file's own start time, the second with `splitTime` (its
    // header holds the split frame's own time). A part without frames is not written (a cut at the
    // first frame leaves `firstPart` null).
    bool copyAndSplitAtEpochTime(double splitTime, const std::string& outputDirectory,
                                 std::unique_ptr<CompressedVideoFile>& firstPart,
                                 std::unique_ptr<CompressedVideoFile>& secondPart,
                                 float toleranceSeconds, KovWriteCallback callback,
                                 void* callbackContext, int mode) override;
    // The navigator's split (modes 0 both, 1 first only, 3 second only).
    bool copyAndSplitAtEpochTimeToPaths(double splitTime, const std::string& firstPartPath,
                                        const std::string& secondPartPath, float toleranceSeconds,
                                        KovWriteCallback callback, void* callbackContext,
                                        int mode) override;
    std::string getErrorText() override;
    // Closes the file until it is next read. Always true.
    bool close() override;
    bool isAvailable() override;
    // The file header, the first and the final frame header are all valid.
    bool isValid() override;
    // Bytes after the final whole frame (see KovNavigatorAndFormatter): not 0 for a cut-off file.
    uint64_t bytesAfterFinalFrameIs();

    // The navigator, for tools that show the file's headers.
    KovNavigatorAndFormatter& navigator() { return navigator_; }

private:
    // The paths of the parts in `outputDirectory`: the file's own name, then its name with each
    // split time as start time. False (the reason noted) when the name carries no start time.
    bool partPaths(const std::string& outputDirectory, const std::vector<double>& splitTimes,
                   std::vector<std::string>& paths);
    // Cuts the file at `splitTimes` into the parts `wanted` selects and opens those written into
    // `outputs` (the others null).
    bool split(const std::vector<double>& splitTimes, const std::string& outputDirectory,
               std::span<std::unique_ptr<CompressedVideoFile>* const> outputs,
               std::initializer_list<bool> wanted, float toleranceSeconds,
               KovWriteCallback callback, void* callbackContext);
    // A file object for a part that was written, null for one the mode left out.
    static std::unique_ptr<CompressedVideoFile> openPart(bool written, const std::string& path);

    std::recursive_mutex lock_;
    KovNavigatorAndFormatter navigator_;
    JpegImageCompressor compressor_;
    ImageStreamVideoCodec codec_;
    VideoSegment segment_;
    // Reason of a failed split found here rather than by the navigator.
    std::string errorText_;
};
