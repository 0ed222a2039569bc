#ifndef FLUMO_SOUND_FORMAT_H
#define FLUMO_SOUND_FORMAT_H

/* What the device is asked for, and what every clip is converted to:
   signed 16-bit little-endian samples (SDL's AUDIO_S16LSB), one channel,
   played 4096 frames a buffer. (No SDL here: the generator writes the
   click in this format, which the program then keeps as it is.) */
const int clip_rate = 44100;
const int clip_bits = 16;
const int clip_channels = 1;
const int clip_buffer_frames = 4096;

#endif
