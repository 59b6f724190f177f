#include <QTest>
#include <atomic>
#include <thread>

#include "Win32_AudioChannelControl.h"

// The feeder thread reads each channel's gain and muted flag per chunk while the user moves the
// knob and presses mute on the user-interface thread.
class Win32_AudioChannelControlThreadTest : public QObject {
    Q_OBJECT

private slots:
    void anotherThreadReadsGainAndMuteWhileTheUserChangesThem() {
        Win32_AudioChannelControl channel(nullptr, 0, 0, 24, 140, 1, false, 0);
        std::atomic<bool> done{false};
        std::atomic<int> outOfRange{0};
        std::atomic<int> mutedSeen{0};
        std::thread feeder([&] {
            while (!done.load()) {
                const float gain = channel.gain();
                if (gain < Win32_AudioChannelControl::kGainMinimum ||
                    gain > Win32_AudioChannelControl::kGainMaximum) {
                    ++outOfRange;
                }
                if (channel.isMuted()) {
                    ++mutedSeen;
                }
            }
        });
        for (int round = 0; round < 2000; ++round) {
            channel.mouseDown(5, 2 + round % 100);
            channel.mouseMove(5, 200 - round % 150);
            channel.mouseUp(5, 50);
            channel.setMuted(round % 2 == 0);
            channel.setGain(static_cast<float>(round % 21) / 10.0f);
        }
        channel.setMuted(true);
        channel.setGain(0.5f);
        while (mutedSeen.load() == 0) {
            std::this_thread::yield();
        }
        done = true;
        feeder.join();
        QCOMPARE(outOfRange.load(), 0);
        QCOMPARE(channel.gain(), 0.5f);
        QVERIFY(channel.isMuted());
    }
};

QTEST_MAIN(Win32_AudioChannelControlThreadTest)
#include "Win32_AudioChannelControlThreadTest.moc"
