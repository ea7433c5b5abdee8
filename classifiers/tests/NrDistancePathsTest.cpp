// Every distance path of the network (plain loop, AVX2 and AVX-512 lanes,
// the exact byte kernel, one and two threads) against a plain loop written
// here: bit for bit the same distances, the same covering neurons, the same
// OnResult list and the same training, on random networks with values
// planted at lane boundaries and in the tails.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "classifiers/NrRadialBasisFunctionNetwork.h"

namespace {

uint64_t Bits(Real AValue) {
  uint64_t bits;
  std::memcpy(&bits, &AValue, sizeof bits);
  return bits;
}

Real FromBits(uint64_t ABits) {
  Real value;
  std::memcpy(&value, &ABits, sizeof value);
  return value;
}

std::string Dump(const std::vector<Real>& A, const std::vector<Real>& B) {
  std::string out;
  char line[200];
  for (size_t i = 0; i < std::min(A.size(), B.size()); ++i) {
    std::snprintf(line, sizeof line, "\n%zu: %016llx %016llx", i, (unsigned long long)Bits(A[i]), (unsigned long long)Bits(B[i]));
    out += line;
  }
  return out;
}

// The distance as the network defines it, independent of the library: the
// items' absolute differences added in item order, rounded at every step,
// with the running sum the first operand of every addition, so that a NaN sum
// keeps its NaN (the compiler may swap the operands of the addition below,
// hence the NaN is taken from the first NaN term explicitly).
Real Reference(const std::vector<Real>& ASample, const std::vector<Real>& AProto) {
  const size_t n = std::min(ASample.size(), AProto.size());
  Real sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const Real term = std::fabs(ASample[i] - AProto[i]);
    if (std::isnan(term)) return term;
    sum = sum + term;
  }
  return sum;
}

Ref<IBfRealBuffer> Buffer(const std::vector<Real>& AValues) {
  Ref<IBfRealBuffer> b = TBfRealBuffer::CreateSize(static_cast<uint32_t>(AValues.size()));
  if (!AValues.empty()) std::memcpy(b->Write(), AValues.data(), AValues.size() * sizeof(Real));
  return b;
}

struct TPath {
  const char* Name;
  TNrDistanceKernel Kernel;
  bool Bytes;
  int32_t Threads;
};

std::string PathName(const ::testing::TestParamInfo<TPath>& AInfo) { return AInfo.param.Name; }

const TPath cPaths[] = {
    {"Plain", dkPlain, false, 1},         {"Plain2Threads", dkPlain, false, 2},
    {"Avx2Lanes", dkAvx2, false, 1},      {"Avx2Bytes", dkAvx2, true, 1},
    {"Avx2Bytes2Threads", dkAvx2, true, 2}, {"Avx512Lanes", dkAvx512, false, 1},
    {"Avx512Bytes", dkAvx512, true, 1},   {"Avx512Bytes2Threads", dkAvx512, true, 2},
    {"Avx512Lanes2Threads", dkAvx512, false, 2},
};

// Runs the test under one path: the settings are process-wide, so each case
// sets them and gives the previous ones back. With two threads every thread
// is given from one neuron up, so that small networks are split too.
class DistancePathTest : public ::testing::TestWithParam<TPath> {
 protected:
  void SetUp() override {
    if (!NrDistanceKernelSupported(GetParam().Kernel))
      GTEST_SKIP() << "the processor lacks " << NrDistanceKernelName(GetParam().Kernel);
    FSaved = NrGetDistanceSettings();
    TNrDistanceSettings s;
    s.Kernel = GetParam().Kernel;
    s.Bytes = GetParam().Bytes;
    s.Threads = GetParam().Threads;
    s.NeuronsPerThread = 1;
    NrSetDistanceSettings(s);
    const TNrDistanceSettings now = NrGetDistanceSettings();
    ASSERT_EQ(now.Kernel, GetParam().Kernel);
    ASSERT_EQ(now.Threads, GetParam().Threads);
    FSet = true;
  }
  void TearDown() override {
    if (FSet) NrSetDistanceSettings(FSaved);
  }

  TNrDistanceSettings FSaved;
  bool FSet = false;
};

// Values a random vector is made of.
enum TValueKind { vkBytes, vkReals, vkSpecials };

// Items that test the exact paths' edges: NaNs of different payloads and
// signs, infinities, zeros of both signs, subnormals, values that overflow a
// sum, values just off the byte grid.
Real Special(std::mt19937& ARandom) {
  static const Real cSpecials[] = {
      std::numeric_limits<Real>::quiet_NaN(),
      FromBits(0x7FF8000000000123ull),  // quiet NaN with a payload
      FromBits(0xFFF8000000000456ull),  // negative quiet NaN with a payload
      FromBits(0x7FF0000000000789ull),  // signalling NaN
      std::numeric_limits<Real>::infinity(),
      -std::numeric_limits<Real>::infinity(),
      -0.0,
      0.0,
      std::numeric_limits<Real>::denorm_min(),
      -std::numeric_limits<Real>::denorm_min() * 3,
      std::numeric_limits<Real>::min() / 2,
      std::numeric_limits<Real>::max(),
      -std::numeric_limits<Real>::max() / 2,
      1.0,                                  // just above the byte range
      255.0 / 256 + 1.0 / 512,              // between two bytes
      std::nextafter(128.0 / 256, 1.0),     // one ulp off a byte value
      -1.0 / 256,                           // a negative multiple of 1/256
      1e-300,
  };
  std::uniform_int_distribution<size_t> pick(0, std::size(cSpecials) - 1);
  return cSpecials[pick(ARandom)];
}

Real RandomItem(std::mt19937& ARandom, TValueKind AKind) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_real_distribution<Real> real(-2, 2);
  switch (AKind) {
    case vkBytes: return byte(ARandom) / 256.0;
    case vkReals: return real(ARandom);
    case vkSpecials: return byte(ARandom) / 256.0;  // mostly bytes, specials planted afterwards
  }
  return 0;
}

std::vector<Real> RandomVector(std::mt19937& ARandom, size_t ASize, TValueKind AKind) {
  std::vector<Real> v(ASize);
  for (Real& x : v) x = RandomItem(ARandom, AKind);
  if (AKind == vkSpecials && ASize > 0) {
    // At lane and block boundaries, in the tail after the last full block
    // of eight, and anywhere.
    std::uniform_int_distribution<size_t> anywhere(0, ASize - 1);
    const size_t spots[] = {0, 7, 8, 15, 63, 64, ASize - 1, ASize & ~size_t(7), anywhere(ARandom)};
    std::bernoulli_distribution plant(0.3);
    for (size_t s : spots)
      if (s < ASize && plant(ARandom)) v[s] = Special(ARandom);
  }
  return v;
}

// One random network and a sample: 1 to 300 neurons, lengths chosen around
// the block sizes, most neurons of the sample's length and some not.
struct TCase {
  std::vector<std::vector<Real>> Protos;
  std::vector<Real> Fields;
  std::vector<Real> Sample;
};

TCase RandomCase(std::mt19937& ARandom) {
  static const size_t cLengths[] = {0, 1, 3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 127, 128, 129, 1024};
  std::uniform_int_distribution<size_t> pickLength(0, std::size(cLengths) - 1);
  std::uniform_int_distribution<int> neurons(1, 300);
  std::uniform_int_distribution<int> kind(0, 3);
  std::bernoulli_distribution other(0.1);
  TCase c;
  const size_t length = cLengths[pickLength(ARandom)];
  // One kind for the whole case, or a mix of kinds neuron by neuron.
  const int caseKind = kind(ARandom);
  const auto kindOf = [&] { return static_cast<TValueKind>(caseKind == 3 ? kind(ARandom) % 3 : caseKind); };
  c.Sample = RandomVector(ARandom, other(ARandom) ? cLengths[pickLength(ARandom)] : length, kindOf());
  const int count = neurons(ARandom);
  for (int n = 0; n < count; ++n) {
    std::bernoulli_distribution copy(0.05);
    if (n > 0 && copy(ARandom)) {
      c.Protos.push_back(c.Protos[static_cast<size_t>(n) / 2]);  // ties
    } else if (copy(ARandom)) {
      c.Protos.push_back(c.Sample);  // distance 0
    } else {
      c.Protos.push_back(RandomVector(ARandom, other(ARandom) ? cLengths[pickLength(ARandom)] : length, kindOf()));
    }
  }
  // Fields: wide, exactly on the border, or one step beyond it.
  std::uniform_int_distribution<int> fieldKind(0, 2);
  for (const std::vector<Real>& p : c.Protos) {
    const Real d = Reference(c.Sample, p);
    switch (fieldKind(ARandom)) {
      case 0: c.Fields.push_back(std::numeric_limits<Real>::infinity()); break;
      case 1: c.Fields.push_back(d); break;
      default: c.Fields.push_back(std::nextafter(d, std::numeric_limits<Real>::infinity())); break;
    }
  }
  return c;
}

TEST_P(DistancePathTest, PredictGivesThePlainLoopsDistancesAndResult) {
  std::mt19937 random(20261211);
  for (int trial = 0; trial < 60; ++trial) {
    const TCase c = RandomCase(random);
    TNrRadialBasisFunctionNetwork net;
    for (size_t n = 0; n < c.Protos.size(); ++n)
      net.GetNeurons()->Add(TNrRadialBasisFunctionNeuron::Create(Buffer(c.Protos[n]), Real(n % 5), c.Fields[n]));
    std::vector<std::pair<TNrRadialBasisFunctionNeuron*, uint64_t>> seen;
    net.SetOnResult([&](TObject*, const Ref<IBfRealBuffer>&, TNrRadialBasisFunctionResult* AResult) {
      for (int32_t i = 0; i < AResult->Count(); ++i)
        seen.emplace_back(AResult->Items(i)->GetNeuron(), Bits(AResult->Items(i)->GetDistance()));
    });
    net.Predict(Buffer(c.Sample));

    // Expected: every covering neuron at the smallest distance, in order.
    std::vector<std::pair<TNrRadialBasisFunctionNeuron*, uint64_t>> expected;
    Real smallest = std::numeric_limits<Real>::infinity();
    for (size_t n = 0; n < c.Protos.size(); ++n) {
      const Real d = Reference(c.Sample, c.Protos[n]);
      TNrRadialBasisFunctionNeuron* neuron = net.GetNeurons()->Items(static_cast<int32_t>(n)).Get();
      ASSERT_EQ(Bits(neuron->GetLastDistance()), Bits(d))
          << "trial " << trial << ", neuron " << n << " of " << c.Protos.size() << ", lengths "
          << c.Sample.size() << "/" << c.Protos[n].size() << ": " << neuron->GetLastDistance() << " instead of " << d << Dump(c.Sample, c.Protos[n]);
      if (!(d < c.Fields[n])) continue;
      if (smallest > d) {
        smallest = d;
        expected.clear();
        expected.emplace_back(neuron, Bits(d));
      } else if (smallest == d) {
        expected.emplace_back(neuron, Bits(d));
      }
    }
    ASSERT_EQ(seen, expected) << "trial " << trial;
  }
}

// Training touches the distance step only: the same samples give the same
// neurons, fields and categories as the plain loop gives, step by step.
TEST_P(DistancePathTest, TrainLearnsWhatThePlainLoopLearns) {
  std::mt19937 random(7);
  // Few distinct byte vectors, so that samples repeat, conflict and tie.
  std::vector<std::vector<Real>> pool;
  for (int i = 0; i < 12; ++i) pool.push_back(RandomVector(random, 40, i % 3 == 0 ? vkSpecials : vkBytes));
  std::uniform_int_distribution<size_t> pick(0, pool.size() - 1);
  std::uniform_int_distribution<int> category(1, 3);

  struct TPlainNeuron {
    std::vector<Real> Values;
    Real Category, Field;
  };
  std::vector<TPlainNeuron> plain;
  TNrRadialBasisFunctionNetwork net;
  net.SetMaxInfluenceField(12);
  net.SetMinInfluenceField(1);
  for (int step = 0; step < 300; ++step) {
    const std::vector<Real>& sample = pool[pick(random)];
    const Real cat = category(random);
    net.Train(Buffer(sample), cat);
    // The rule, on the plain neurons.
    std::vector<size_t> covering;
    std::vector<Real> d(plain.size());
    for (size_t n = 0; n < plain.size(); ++n) {
      d[n] = Reference(sample, plain[n].Values);
      if (d[n] < plain[n].Field) covering.push_back(n);
    }
    if (covering.empty()) {
      plain.push_back({sample, cat, 12});
    } else {
      bool conflict = false;
      Real smallest = 12;
      for (size_t n : covering) {
        if (plain[n].Category == cat) continue;
        if (smallest > d[n]) smallest = d[n];
        plain[n].Field = d[n];
        conflict = true;
      }
      if (conflict) plain.push_back({sample, cat, 1 > smallest ? 1 : smallest});
    }
    ASSERT_EQ(net.GetNeurons()->Count(), static_cast<int32_t>(plain.size())) << "step " << step;
    for (size_t n = 0; n < plain.size(); ++n) {
      Ref<TNrRadialBasisFunctionNeuron> neuron = net.GetNeurons()->Items(static_cast<int32_t>(n));
      ASSERT_EQ(Bits(neuron->GetInfluenceField()), Bits(plain[n].Field)) << "step " << step << ", neuron " << n;
      ASSERT_EQ(neuron->GetCategory(), plain[n].Category);
      // Compared neurons hold their distance, a new one 0.
      ASSERT_EQ(Bits(neuron->GetLastDistance()), Bits(n < d.size() ? d[n] : 0.0)) << "step " << step << ", neuron " << n;
    }
  }
}

// A prototype written after its neuron joined the network, then repacked:
// compared as it is now, whichever way it was written. A prototype that is
// not byte-valued is read from its current storage even without repacking.
TEST_P(DistancePathTest, PrototypeWrittenAfterAddingIsComparedAsItIsNow) {
  const std::vector<Real> sample(70, 1.0 / 256);
  TNrRadialBasisFunctionNetwork net;
  const Ref<IBfRealBuffer> shared = Buffer(std::vector<Real>(70, 3.0 / 256));
  net.GetNeurons()->Add(TNrRadialBasisFunctionNeuron::Create(shared, 1, 1000));
  Ref<TNrRadialBasisFunctionNeuron> neuron = net.GetNeurons()->Items(0);
  const Ref<IBfRealBuffer> values = neuron->GetValues();
  const auto check = [&](const char* AStep) {
    net.Predict(Buffer(sample));
    const std::vector<Real> now(values->Read(), values->Read() + values->GetSize());
    EXPECT_EQ(Bits(neuron->GetLastDistance()), Bits(Reference(sample, now))) << AStep;
  };
  check("as added");

  struct TWrite {
    const char* Name;
    std::function<void()> Write;
    bool Repack;
  };
  const TWrite writes[] = {
      // Shared with the caller's buffer: Modify gives the neuron storage of
      // its own, no longer byte-valued.
      {"moved, not bytes", [&] { values->Modify()[5] = 0.3; }, true},
      {"in place, not bytes", [&] { values->Modify()[6] = -0.7; }, false},
      {"moved, not bytes, unpacked", [&] { const Ref<IBfRealBuffer> keep = TBfRealBuffer::CreateCopy(values); values->Modify()[7] = 0.9; }, false},
      {"resized, not bytes", [&] { values->Resize(9, true); }, false},
      {"in place, bytes again", [&] { for (uint32_t i = 0; i < 9; ++i) values->Modify()[i] = 100.0 / 256; }, true},
      {"in place, other bytes", [&] { values->Modify()[0] = 7.0 / 256; }, true},
      {"resized, bytes", [&] { values->Resize(80, true); for (uint32_t i = 9; i < 80; ++i) values->Modify()[i] = 0; }, true},
      {"in place, not bytes any more", [&] { values->Modify()[79] = 0.1; }, true},
  };
  for (const TWrite& w : writes) {
    w.Write();
    if (w.Repack) net.GetNeurons()->RepackPrototypes();
    check(w.Name);
  }
}

// Two networks asked at once from two threads share the worker pool (one of
// them runs alone while the other has it), and a third thread adds to one
// network's container meanwhile: every distance still the plain loop's.
TEST_P(DistancePathTest, NetworksAskedFromSeveralThreadsAtOnce) {
  std::mt19937 random(99);
  const std::vector<Real> sample = RandomVector(random, 200, vkBytes);
  std::vector<std::vector<Real>> protos;
  for (int n = 0; n < 64; ++n) protos.push_back(RandomVector(random, 200, n % 2 ? vkBytes : vkReals));
  TNrRadialBasisFunctionNetwork nets[2];
  for (TNrRadialBasisFunctionNetwork& net : nets)
    for (const std::vector<Real>& p : protos) net.GetNeurons()->Add(TNrRadialBasisFunctionNeuron::Create(Buffer(p), 1, 1e9));
  const Ref<IBfRealBuffer> sampleBuffer = Buffer(sample);

  // Checks the distances of ANet's first ACount neurons (all when -1)
  // against the reference; the neurons added meanwhile are copies of
  // protos[0], and those added after the last Predict are not compared yet.
  const auto wrongDistances = [&](TNrRadialBasisFunctionNetwork& ANet, int32_t ACount) {
    int wrong = 0;
    TNrRadialBasisFunctionNeurons& neurons = *ANet.GetNeurons();
    const int32_t count = ACount < 0 ? neurons.Count() : ACount;
    for (int32_t n = 0; n < count; ++n) {
      const std::vector<Real>& p = protos[static_cast<size_t>(n) < protos.size() ? static_cast<size_t>(n) : 0];
      wrong += Bits(neurons.Items(n)->GetLastDistance()) != Bits(Reference(sample, p));
    }
    return wrong;
  };
  int wrong[2] = {0, 0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 40; ++i) {
        nets[t].Predict(sampleBuffer);
        wrong[t] += wrongDistances(nets[t], static_cast<int32_t>(protos.size()));
      }
    });
  threads.emplace_back([&] {
    for (int i = 0; i < 40; ++i)
      nets[1].GetNeurons()->Add(TNrRadialBasisFunctionNeuron::Create(Buffer(protos[0]), 2, 1e9));
  });
  for (std::thread& t : threads) t.join();
  nets[1].Predict(sampleBuffer);
  EXPECT_EQ(wrong[0], 0);
  EXPECT_EQ(wrong[1] + wrongDistances(nets[1], -1), 0);
  EXPECT_EQ(nets[1].GetNeurons()->Count(), 64 + 40);
}

INSTANTIATE_TEST_SUITE_P(Paths, DistancePathTest, ::testing::ValuesIn(cPaths), PathName);

TEST(DistanceSettingsTest, UnsupportedKernelFallsBackAndCountsAreClamped) {
  const TNrDistanceSettings saved = NrGetDistanceSettings();
  TNrDistanceSettings s;
  s.Kernel = dkAvx512;
  s.Threads = 0;
  s.NeuronsPerThread = -5;
  NrSetDistanceSettings(s);
  const TNrDistanceSettings now = NrGetDistanceSettings();
  EXPECT_TRUE(NrDistanceKernelSupported(now.Kernel));
  if (NrDistanceKernelSupported(dkAvx512)) EXPECT_EQ(now.Kernel, dkAvx512);
  else EXPECT_NE(now.Kernel, dkAvx512);
  EXPECT_EQ(now.Threads, 1);
  EXPECT_EQ(now.NeuronsPerThread, 1);
  NrSetDistanceSettings(saved);
  EXPECT_TRUE(NrDistanceKernelSupported(dkPlain));
}

TEST(NeuronContainerTest, EmptyNeuronHandleIsRefused) {
  TNrRadialBasisFunctionNeurons neurons;
  EXPECT_THROW(neurons.Add(Ref<INrRadialBasisFunctionNeuron>()), ENrClassifierError);
  EXPECT_EQ(neurons.Count(), 0);
}

}  // namespace
