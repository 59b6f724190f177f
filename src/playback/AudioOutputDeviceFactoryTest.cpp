#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "AudioOutputDeviceFactory.h"
#include "AudioOutputDeviceTestSupport.h"
#include "AudioOutputDeviceWithFallback.h"
#include "NullAudioOutputDevice.h"
#include "UserNotification.h"

namespace {

// Records what would have been shown to the user while it exists.
class NotificationCatcher {
public:
    NotificationCatcher() {
        UserNotification::setHook([this](const std::string& title, const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex_);
            texts_.push_back(title + ": " + text);
        });
    }
    ~NotificationCatcher() { UserNotification::setHook(nullptr); }
    std::vector<std::string> texts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
};

// A sound card that is never there.
class MissingDevice : public NullAudioOutputDevice {
public:
    bool open(uint32_t, uint16_t, uint16_t) override { return false; }
    std::string errorText() const override { return "No sound device was found."; }
    std::string name() const override { return "missing"; }
};

}  // namespace

TEST(AudioOutputDeviceFactoryTest, ParsesTheAcceptedTextsAndRefusesOthersInWords) {
    AudioOutputDeviceFactory::Choice choice;
    std::string error;
    ASSERT_TRUE(AudioOutputDeviceFactory::parse("portaudio", choice, error));
    EXPECT_EQ(choice.kind, AudioOutputDeviceFactory::Kind::PortAudio);
    ASSERT_TRUE(AudioOutputDeviceFactory::parse("null", choice, error));
    EXPECT_EQ(choice.kind, AudioOutputDeviceFactory::Kind::Null);
    ASSERT_TRUE(AudioOutputDeviceFactory::parse("null:fast", choice, error));
    EXPECT_EQ(choice.kind, AudioOutputDeviceFactory::Kind::NullFast);
    ASSERT_TRUE(AudioOutputDeviceFactory::parse("wav:/tmp/out put.wav", choice, error));
    EXPECT_EQ(choice.kind, AudioOutputDeviceFactory::Kind::Wav);
    EXPECT_EQ(choice.wavPath, "/tmp/out put.wav");
    ASSERT_TRUE(AudioOutputDeviceFactory::parse("wav:wav:x", choice, error));
    EXPECT_EQ(choice.wavPath, "wav:x");

    for (const std::string bad :
         {"", "Null", "null:slow", "null:", "port audio", "wav", "wav:", " portaudio", "alsa"}) {
        AudioOutputDeviceFactory::Choice untouched;
        untouched.kind = AudioOutputDeviceFactory::Kind::NullFast;
        error.clear();
        EXPECT_FALSE(AudioOutputDeviceFactory::parse(bad, untouched, error)) << bad;
        EXPECT_EQ(untouched.kind, AudioOutputDeviceFactory::Kind::NullFast) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        if (bad != "wav:") {
            EXPECT_NE(error.find("portaudio, null, null:fast or wav:PATH"), std::string::npos)
                << error;
        }
    }
    EXPECT_EQ(AudioOutputDeviceFactory::create("speakers", "", error), nullptr);
    EXPECT_NE(error.find("\"speakers\""), std::string::npos) << error;
}

TEST(AudioOutputDeviceFactoryTest, MakesTheChosenDevice) {
    std::string error;
    auto null = AudioOutputDeviceFactory::create("null", "", error);
    ASSERT_NE(null, nullptr);
    EXPECT_EQ(null->name(), "null");
    auto fast = AudioOutputDeviceFactory::create("null:fast", "ignored", error);
    ASSERT_NE(fast, nullptr);
    EXPECT_EQ(fast->name(), "null:fast");
    auto wav = AudioOutputDeviceFactory::create("wav:/nonexistent/x.wav", "", error);
    ASSERT_NE(wav, nullptr);
    EXPECT_EQ(wav->name(), "wav:/nonexistent/x.wav");
    // A file that cannot be made is the caller's error: no silent stand-in for it.
    NotificationCatcher catcher;
    EXPECT_FALSE(wav->open(16000));
    EXPECT_FALSE(wav->errorText().empty());
    EXPECT_TRUE(catcher.texts().empty());
}

TEST(AudioOutputDeviceFactoryTest, AMissingSoundCardFallsBackToNullAndSaysSoOnce) {
    NotificationCatcher catcher;
    CompletionRecorder recorder;
    AudioOutputDeviceWithFallback device(std::make_unique<MissingDevice>());
    device.setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device.open(16000));
    EXPECT_TRUE(device.isOpen());
    EXPECT_TRUE(device.isFallingBack());
    EXPECT_EQ(device.name(), "null (no sound device)");
    EXPECT_EQ(device.errorText(), "No sound device was found.");

    // It plays, at real-time pace, through null.
    const std::vector<int16_t> samples = rampSamples(160);
    ASSERT_TRUE(device.write(7, samples.data(), samples.size() * 2));
    ASSERT_TRUE(recorder.waitFor(1));
    EXPECT_EQ(recorder.notices()[0].bufferId, 7u);
    EXPECT_FALSE(recorder.notices()[0].wasReset);
    EXPECT_EQ(device.playedSampleCount(), 160u);

    // Opening again tries the card again, but the user has heard about it already.
    device.close();
    EXPECT_FALSE(device.isOpen());
    ASSERT_TRUE(device.open(16000));
    EXPECT_TRUE(device.isFallingBack());
    device.close();

    const auto texts = catcher.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Audio output: No sound device was found. Playback goes on without sound.");
    EXPECT_EQ(recorder.count(), 1u);
}

TEST(AudioOutputDeviceFactoryTest, ADeviceThatOpensIsUsedWithoutAWord) {
    NotificationCatcher catcher;
    CompletionRecorder recorder;
    AudioOutputDeviceWithFallback device(
        std::make_unique<NullAudioOutputDevice>(NullAudioOutputDevice::Pace::Immediate));
    device.setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device.open(16000));
    EXPECT_FALSE(device.isFallingBack());
    EXPECT_EQ(device.name(), "null:fast");
    const int16_t samples[2] = {1, 2};
    ASSERT_TRUE(device.write(1, samples, sizeof samples));
    ASSERT_TRUE(recorder.waitFor(1));
    EXPECT_FALSE(device.open(16000));  // already open
    EXPECT_FALSE(device.open(16000, 2));
    device.close();
    EXPECT_FALSE(device.write(2, samples, sizeof samples));
    EXPECT_TRUE(catcher.texts().empty());
    EXPECT_EQ(recorder.count(), 1u);
}

TEST(AudioOutputDeviceFactoryTest, PortAudioWithoutTheNamedCardPlaysThroughNullWithOneMessage) {
    NotificationCatcher catcher;
    CompletionRecorder recorder;
    std::string error;
    auto device = AudioOutputDeviceFactory::create("portaudio",
                                                   "korvalis test output that is not there", error);
    ASSERT_NE(device, nullptr);
    device->setCompletionCallback(recorder.callback());
    ASSERT_TRUE(device->open(16000));
    EXPECT_EQ(device->name(), "null (no sound device)");
    const int16_t samples[16] = {};
    ASSERT_TRUE(device->write(3, samples, sizeof samples));
    ASSERT_TRUE(recorder.waitFor(1));
    device->close();

    const auto texts = catcher.texts();
    ASSERT_EQ(texts.size(), 1u);
    // Either the card is named as missing, or the sound system itself could not start.
    EXPECT_TRUE(texts[0].find("korvalis test output that is not there") != std::string::npos ||
                texts[0].find("sound system") != std::string::npos)
        << texts[0];
    EXPECT_NE(texts[0].find("without sound"), std::string::npos) << texts[0];
}

TEST(AudioOutputDeviceFactoryTest, ListsOutputDevicesWithoutASoundCard) {
    std::vector<AudioOutputDeviceFactory::OutputDeviceInfo> devices(1);
    std::string error;
    if (AudioOutputDeviceFactory::listOutputDevices(devices, error)) {
        int defaults = 0;
        for (const auto& device : devices) {
            EXPECT_FALSE(device.name.empty());
            EXPECT_GE(device.maximumOutputChannels, 1);
            defaults += device.isDefault ? 1 : 0;
        }
        EXPECT_LE(defaults, 1);
    } else {
        EXPECT_TRUE(devices.empty());
        EXPECT_FALSE(error.empty());
    }
}
