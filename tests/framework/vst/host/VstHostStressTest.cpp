#include "HostHarness.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace
{
using ModuleStress = ModuleFixture;

// Audio, host automation and dispatcher traffic on three threads at once, as
// hosts do; nothing may crash and the audio must stay finite.
TEST_F(ModuleStress, AudioAutomationAndDispatcherConcurrently)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    Start(e, 512);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<long> badSamples{0};

    std::thread audio(
        [&]
        {
            Rng rng{1};
            std::vector<float> inL(512), inR(512), outL(512), outR(512);
            std::vector<double> dL(512), dR(512), dOutL(512), dOutR(512);
            float* in[] = {inL.data(), inR.data()};
            float* out[] = {outL.data(), outR.data()};
            double* dIn[] = {dL.data(), dR.data()};
            double* dOut[] = {dOutL.data(), dOutR.data()};
            while (!stop.load())
            {
                const int n = 1 + static_cast<int>(rng.Next() % 512);
                for (int i = 0; i < n; ++i)
                {
                    inL[static_cast<std::size_t>(i)] = rng.Unit() * 2.0f - 1.0f;
                    inR[static_cast<std::size_t>(i)] = rng.Unit() * 2.0f - 1.0f;
                    dL[static_cast<std::size_t>(i)] = inL[static_cast<std::size_t>(i)];
                    dR[static_cast<std::size_t>(i)] = inR[static_cast<std::size_t>(i)];
                }
                const long k = blocks.fetch_add(1);
                if (k % 3 == 0)
                    e->processDoubleReplacing(e, dIn, dOut, n);
                else if (k % 3 == 1)
                    e->processReplacing(e, in, out, n);
                else
                {
                    std::fill(outL.begin(), outL.end(), 0.0f);
                    std::fill(outR.begin(), outR.end(), 0.0f);
                    e->process(e, in, out, n);
                }
                for (int i = 0; i < n; ++i)
                {
                    const auto s = static_cast<std::size_t>(i);
                    const bool finite = (k % 3 == 0)
                                            ? std::isfinite(dOutL[s]) && std::isfinite(dOutR[s])
                                            : std::isfinite(outL[s]) && std::isfinite(outR[s]);
                    if (!finite) ++badSamples;
                }
            }
        });

    std::thread automation(
        [&]
        {
            Rng rng{2};
            while (!stop.load())
            {
                const int index = static_cast<int>(rng.Next() % 220) - 2; // a few out of range
                e->setParameter(e, index, rng.Unit());
                e->getParameter(e, index);
            }
        });

    std::thread dispatcher(
        [&]
        {
            Rng rng{3};
            char text[256];
            while (!stop.load())
            {
                switch (rng.Next() % 6)
                {
                case 0:
                    Call(e, effSetProgram, 0, static_cast<VstIntPtr>(rng.Next() % 6));
                    break;
                case 1:
                {
                    void* data = nullptr;
                    const VstIntPtr size = Call(e, effGetChunk, 0, 0, &data);
                    if (size > 0)
                    {
                        std::vector<unsigned char> copy(static_cast<const unsigned char*>(data),
                                                        static_cast<const unsigned char*>(data) +
                                                            size);
                        Call(e, effSetChunk, 0, size, copy.data());
                    }
                    break;
                }
                case 2:
                    Call(e, effGetParamDisplay, static_cast<VstInt32>(rng.Next() % 216), 0, text);
                    break;
                case 3:
                    Call(e, effGetProgramNameIndexed, static_cast<VstInt32>(rng.Next() % 8), 0,
                         text);
                    break;
                case 4:
                    Call(e, effSetBlockSize, 0, 64 + static_cast<VstIntPtr>(rng.Next() % 1024));
                    break;
                default:
                    Call(e, effEditIdle);
                    break;
                }
            }
        });

    while (std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    audio.join();
    automation.join();
    dispatcher.join();

    EXPECT_GT(blocks.load(), 10);
    EXPECT_EQ(badSamples.load(), 0);
    Close(e);
}

} // namespace
