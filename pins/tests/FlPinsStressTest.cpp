// Pins under real threads: two threads send through one source while two
// others link and unlink sinks that a converter feeds. Every value sent while
// a sink stayed linked arrives there exactly once, in each sender's order;
// nothing deadlocks (the CTest timeout guards that).
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "pins/tests/LockTestSupport.h"
#include "pins/tests/PinTestSupport.h"

using namespace pintest;

namespace {

constexpr int32_t Senders = 2;
constexpr int32_t Linkers = 2;
constexpr int32_t SinksPerLinker = 2;
constexpr int32_t Rounds = 200;           // link-unlink rounds per linker
constexpr uint32_t MaxValues = 2000000;  // senders stop here at the latest

// What one link of a sink promised: every index of each sender in
// [First[s], Last[s]] must have arrived.
struct TWindow {
  std::array<uint32_t, Senders> First;
  std::array<uint32_t, Senders> Last;
};

TEST(PinsStress, LinkUnlinkAndSendThroughAConverter) {
  RegisterTestConverters();
  const int32_t pinsBefore = FlRegisteredPinCount();
  const int32_t convertersBefore = TConverterCounters::Alive().load();
  {
    TTestComponent sender(nullptr, "Sender");
    auto source = MakeSource(&sender, {FlStreamID::Float});
    std::array<TTestComponent, Linkers> owners;
    std::vector<TFlPinPtr<TRealSink>> sinks;
    for (int32_t l = 0; l < Linkers; ++l)
      for (int32_t k = 0; k < SinksPerLinker; ++k) sinks.push_back(CreatePin<TRealSink>(&owners[size_t(l)]));
    std::vector<std::vector<TWindow>> windows(sinks.size());

    std::array<std::atomic<uint32_t>, Senders> published{};
    std::atomic<int32_t> linkersLeft{Linkers};
    std::atomic<bool> failed{false};

    std::vector<std::thread> threads;
    for (int32_t s = 0; s < Senders; ++s)
      threads.emplace_back([&, s] {
        for (uint32_t i = 1; i <= MaxValues && linkersLeft.load() > 0; ++i) {
          Ref<TRealOperation> op = TRealOperation::Create(double(i), s, i);
          try {
            source->Notify(op.Get());
          } catch (...) {
            failed = true;
            return;
          }
          published[size_t(s)].store(i);
        }
      });
    for (int32_t l = 0; l < Linkers; ++l)
      threads.emplace_back([&, l] {
        for (int32_t r = 0; r < Rounds && !failed.load(); ++r) {
          for (int32_t k = 0; k < SinksPerLinker; ++k) {
            const size_t index = size_t(l * SinksPerLinker + k);
            TRealSink& sink = *sinks[index];
            // Link from either side, unlink from either side.
            const bool linked = (r + k) % 2 == 0 ? sink.Connect(source.get()) : source->Connect(&sink);
            if (!linked) {
              failed = true;
              return;
            }
            TWindow w;
            for (int32_t s = 0; s < Senders; ++s) w.First[size_t(s)] = published[size_t(s)].load() + 2;
            // Let each sender get a few values through this link.
            std::array<uint32_t, Senders> goal;
            for (int32_t s = 0; s < Senders; ++s) goal[size_t(s)] = w.First[size_t(s)] + 1;
            EXPECT_TRUE(locktest::WaitUntil([&] {
              for (int32_t s = 0; s < Senders; ++s)
                if (published[size_t(s)].load() < goal[size_t(s)]) return false;
              return true;
            }));
            for (int32_t s = 0; s < Senders; ++s) w.Last[size_t(s)] = published[size_t(s)].load();
            windows[index].push_back(w);
            if (r % 3 == 0)
              source->DisconnectFrom(&sink);
            else
              sink.Disconnect();
          }
        }
        linkersLeft.fetch_sub(1);
      });
    for (std::thread& t : threads) t.join();
    ASSERT_FALSE(failed.load());

    for (size_t index = 0; index < sinks.size(); ++index) {
      SCOPED_TRACE(::testing::Message() << "sink " << index);
      EXPECT_FALSE(sinks[index]->IsConnected());
      std::array<std::vector<uint32_t>, Senders> arrived;
      for (const TDelivery& d : sinks[index]->Deliveries()) {
        if (d.State.Contains(nsNewLink)) continue;
        ASSERT_GE(d.Sender, 0);
        ASSERT_LT(d.Sender, Senders);
        EXPECT_EQ(d.Value, 2.0 * d.Index);  // through the converter
        EXPECT_EQ(d.Type, FlStreamID::Real);
        auto& list = arrived[size_t(d.Sender)];
        // Each sender's order, and nothing twice.
        if (!list.empty()) {
          ASSERT_GT(d.Index, list.back()) << "sender " << d.Sender;
        }
        list.push_back(d.Index);
      }
      for (const TWindow& w : windows[index])
        for (int32_t s = 0; s < Senders; ++s) {
          const auto& list = arrived[size_t(s)];
          for (uint32_t i = w.First[size_t(s)]; i <= w.Last[size_t(s)]; ++i)
            ASSERT_TRUE(std::binary_search(list.begin(), list.end(), i))
                << "sender " << s << " value " << i << " sent while linked did not arrive";
        }
    }
    EXPECT_EQ(source->SinkCount(), 0);
    EXPECT_EQ(source->ConverterCount(), 0);
    EXPECT_EQ(source->InSending(), 0);
    sinks.clear();
  }
  EXPECT_EQ(FlRegisteredPinCount(), pinsBefore);
  EXPECT_EQ(TConverterCounters::Alive().load(), convertersBefore);
}

}  // namespace
