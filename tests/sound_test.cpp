#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/app_state.h"
#include "files/files.h"
#include "sound/sound_clip.h"
#include "support/audio_watch.h"
#include "support/process.h"
#include "support/surfaces.h"
#include "support/wav.h"

namespace
{

/* A clip over bytes the test owns, standing at its start. */
SoundClip clip_over(std::vector<Uint8> &bytes)
{
  SoundClip clip = {};
  clip.buffer = clip.cursor = bytes.data();
  clip.length = clip.remaining = Uint32(bytes.size());
  return clip;
}

std::vector<Uint8> pattern(size_t n)
{
  std::vector<Uint8> bytes(n);
  for (size_t i = 0; i < n; i += 2) { /* small positive samples */
    bytes[i] = Uint8(1 + i % 97);
    bytes[i + 1] = 0;
  }
  return bytes;
}

void expect_invariant(const SoundClip &clip)
{
  EXPECT_EQ(clip.cursor + clip.remaining, clip.buffer + clip.length);
  EXPECT_LE(clip.remaining, clip.length);
}

} // namespace

TEST(MixClip, ShortClipIsMixedWholeAndTheRestStaysSilent)
{
  std::vector<Uint8> bytes = pattern(1000);
  SoundClip clip = clip_over(bytes);
  std::vector<Uint8> stream(8192, 0);
  mix_clip(&clip, stream.data(), int(stream.size()));
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), stream.begin()));
  EXPECT_TRUE(std::all_of(stream.begin() + 1000, stream.end(),
                          [](Uint8 b) { return b == 0; }));
  EXPECT_EQ(clip.remaining, 0u);
  expect_invariant(clip);

  std::vector<Uint8> later(8192, 0); /* after the end: nothing more */
  mix_clip(&clip, later.data(), int(later.size()));
  EXPECT_TRUE(
      std::all_of(later.begin(), later.end(), [](Uint8 b) { return b == 0; }));
  expect_invariant(clip);
}

TEST(MixClip, LongClipIsMixedBufferByBufferAndOnlyWhatRemains)
{
  std::vector<Uint8> bytes = pattern(10000);
  SoundClip clip = clip_over(bytes);
  std::vector<Uint8> heard;
  for (int len : {0, 4096, 4096, 4096, 4096}) {
    std::vector<Uint8> stream(len, 0);
    Uint32 before = clip.remaining;
    mix_clip(&clip, stream.data(), len);
    EXPECT_EQ(before - clip.remaining, std::min<Uint32>(len, before));
    expect_invariant(clip);
    heard.insert(heard.end(), stream.begin(), stream.end());
  }
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), heard.begin()));
  EXPECT_TRUE(std::all_of(heard.begin() + 10000, heard.end(),
                          [](Uint8 b) { return b == 0; }));
}

TEST(MixClip, EmptyClipMixesNothing)
{
  std::vector<Uint8> none;
  SoundClip clip = clip_over(none);
  std::vector<Uint8> stream(64, 0);
  mix_clip(&clip, stream.data(), 64);
  EXPECT_TRUE(std::all_of(stream.begin(), stream.end(),
                          [](Uint8 b) { return b == 0; }));
  expect_invariant(clip);
}

TEST(MixClip, AddsToWhatIsAlreadyInTheStream)
{
  std::vector<Uint8> bytes = pattern(8);
  SoundClip clip = clip_over(bytes);
  std::vector<Sint16> stream = {100, -100, 1000, 0};
  mix_clip(&clip, (Uint8 *)stream.data(), 8);
  EXPECT_EQ(stream[0], 100 + 1);
  EXPECT_EQ(stream[1], -100 + 3);
  EXPECT_EQ(stream[2], 1000 + 5);
  EXPECT_EQ(stream[3], 0 + 7);
}

/* A real device, on the disk driver (which takes a plain file, not
   /dev/null, on SDL2 2.32). */
class Playing : public DrawingTest
{
protected:
  std::vector<Uint8> bytes = pattern(44100 * 2 * 10); /* ten seconds */
  AssetDir out{{}};

  void SetUp() override
  {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.file("played.raw").c_str(), 1);
    DrawingTest::SetUp();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    app.clip = clip_over(bytes);
    open_audio(&app.clip);
    ASSERT_NE(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED) << SDL_GetError();
  }
  void TearDown() override
  {
    SDL_CloseAudio();
    app.clip = SoundClip();
    DrawingTest::TearDown();
  }
  /* The clip, seen from the main thread the way play_clip sees it. */
  Uint32 remaining()
  {
    SDL_LockAudio();
    Uint32 r = app.clip.remaining;
    expect_invariant(app.clip);
    SDL_UnlockAudio();
    return r;
  }
  void key(Uint8 type, SDLKey sym)
  {
    SDL_Event e = key_event(type, sym);
    (type == SDL_KEYDOWN ? on_key_down : on_key_up)(&e);
  }
};

/* The device is asked for the format the program's settings give, with
   no record for the one it grants, so that SDL converts to that; the
   callback is then handed buffers of that many frames in that format. */
TEST_F(Playing, DeviceIsAskedForTheSettingsFormatAndMixedInIt)
{
  const SDL_AudioSpec &asked = audio_open_log.asked;
  EXPECT_EQ(asked.freq, clip_rate);
  EXPECT_EQ(asked.format, AUDIO_S16LSB);
  EXPECT_EQ(asked.channels, clip_channels);
  EXPECT_EQ(asked.samples, clip_buffer_frames);
  EXPECT_EQ(asked.userdata, &app.clip);
  EXPECT_FALSE(audio_open_log.format_taken);

  key(SDL_KEYDOWN, SDLK_SPACE);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  AudioOpenLog seen;
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SDL_LockAudio();
    seen = audio_open_log;
    SDL_UnlockAudio();
  } while (seen.callbacks < 3 && std::chrono::steady_clock::now() < until);
  ASSERT_GE(seen.callbacks, 3);
  const int buffer = clip_buffer_frames * clip_channels * 2;
  EXPECT_EQ(seen.shortest, buffer);
  EXPECT_EQ(seen.longest, buffer);
}

/* A few buffers at most can have been mixed since the rewind. */
const Uint32 just_started = 44100 * 2 * 10 - 8 * 8192;

TEST_F(Playing, DeviceStaysPausedUntilTheFirstCountedPress)
{
  EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
  key(SDL_KEYDOWN, SDLK_a);
  key(SDL_KEYDOWN, SDLK_ESCAPE);
  key(SDL_KEYUP, SDLK_ESCAPE);
  EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
  EXPECT_EQ(remaining(), app.clip.length);

  key(SDL_KEYDOWN, SDLK_SPACE);
  EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
  EXPECT_GT(remaining(), just_started);
}

TEST_F(Playing, PlayClipRewindsAClipInMidPlayUnderTheAudioLock)
{
  play_clip(&app.clip);
  SDL_LockAudio();
  app.clip.cursor += 500000;
  app.clip.remaining -= 500000;
  Uint8 *mid_play = app.clip.cursor;
  SDL_UnlockAudio();
  audio_lock_log = AudioLockLog();
  audio_lock_log.watched = &app.clip;
  play_clip(&app.clip);
  /* the audio thread, which mixes under the lock, never sees it half done */
  EXPECT_EQ(audio_lock_log.taken, 1);
  EXPECT_GE(audio_lock_log.cursor_when_taken, mid_play); /* not rewound yet */
  EXPECT_EQ(audio_lock_log.cursor_when_given_back, app.clip.buffer);
  audio_lock_log = AudioLockLog();
  EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
  EXPECT_GT(remaining(), just_started);
}

TEST_F(Playing, OnlyCountedPressesPlay)
{
  key(SDL_KEYDOWN, SDLK_SPACE);
  key(SDL_KEYUP, SDLK_SPACE);
  SDL_LockAudio();
  app.clip.cursor += 500000;
  app.clip.remaining -= 500000;
  SDL_UnlockAudio();
  Uint32 left = remaining();

  key(SDL_KEYDOWN, SDLK_ESCAPE); /* plays on */
  key(SDL_KEYUP, SDLK_ESCAPE);
  EXPECT_LE(remaining(), left);

  app.count = max_count; /* at the ceiling: no new start */
  key(SDL_KEYDOWN, SDLK_SPACE);
  EXPECT_LE(remaining(), left);
  key(SDL_KEYUP, SDLK_SPACE);

  app.count = max_count - 1; /* the press up to the ceiling still plays */
  key(SDL_KEYDOWN, SDLK_SPACE);
  EXPECT_GT(remaining(), just_started);
  EXPECT_EQ(app.count, max_count);
}

/* Loading: every clip ends up in the device's format, at its own pitch
   and length. */
class Loading : public ::testing::Test
{
protected:
  AssetDir dir{{}};
  void SetUp() override { ASSERT_EQ(SDL_Init(0), 0); }
  void TearDown() override { SDL_Quit(); }
  SoundClip load(const std::string &wav)
  {
    write_file(dir.file("clip.wav"), wav);
    return load_sound_clip(dir.file("clip.wav").c_str());
  }
};

TEST_F(Loading, ClipInTheDeviceFormatIsKeptByteForByte)
{
  std::string wav =
      make_wav(44100, 16, 1, 3000, [](int i) { return std::sin(i * .05); });
  SoundClip clip = load(wav);
  EXPECT_EQ(clip.spec.freq, 44100);
  ASSERT_EQ(clip.length, 6000u);
  EXPECT_EQ(std::string((char *)clip.buffer, 6000), wav.substr(44));
  EXPECT_EQ(clip.cursor, clip.buffer);
  EXPECT_EQ(clip.remaining, clip.length);
  free_sound_clip(&clip);
}

TEST_F(Loading, OtherFormatsKeepTheirEverySampleAndLength)
{
  struct Case {
    int rate, bits, channels;
    bool streamed = false; /* its sizes 0xFFFFFFFF, as a pipe leaves them */
  } cases[] = {{22050, 8, 2},        {48000, 16, 1},     {8000, 8, 1},
               {11025, 16, 2},       {32000, 16, 1},     {96000, 16, 2},
               {44100, 8, 1},        {44100, 16, 2},     {44100, 16, 3},
               {22050, 8, 5},        {48000, 16, 6},     {11025, 8, 7},
               {44100, 16, 1, true}, {22050, 8, 2, true}};
  /* a tone that rises from 200 to 600 Hz and so never repeats itself:
     each sample of the converted clip must be the tone at its own time,
     within what 8 bits and straight lines between samples miss; the
     channels spread about it, so that only all of them give it */
  const double seconds = .5;
  constexpr double amplitude = .8;
  auto tone = [](double t) {
    return amplitude * std::sin(2 * M_PI * (200 * t + 400 * t * t));
  };
  for (Case c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.rate << " Hz " << c.bits << " bits " << c.channels
                 << " channels" << (c.streamed ? ", streamed" : ""));
    int frames = int(c.rate * seconds);
    WavForm form{1, false, false, .19};
    form.streamed = c.streamed;
    SoundClip clip = load(make_wav(
        c.rate, c.bits, c.channels, frames,
        [&](int i) { return tone(double(i) / c.rate); }, form));
    EXPECT_EQ(clip.spec.freq, c.rate); /* the file's own format is kept */
    std::vector<int16_t> s(clip.length / 2);
    memcpy(s.data(), clip.buffer, s.size() * 2);
    EXPECT_NEAR(s.size(), 44100 * seconds, 44100 * seconds * .01);

    int off = 0, first_off = -1;
    /* but for the last input frame's span, which has nothing to lead to */
    for (size_t i = 0; i + 44100 / c.rate + 1 < s.size(); i++) {
      double want = tone(double(i) / 44100) * 32767;
      if (std::abs(s[i] - want) > .05 * 32767 && off++ == 0)
        first_off = int(i);
    }
    EXPECT_EQ(off, 0) << "samples off the tone, the first at " << first_off;
    EXPECT_EQ(clip.remaining, clip.length);
    free_sound_clip(&clip);
  }
}
