#ifndef FLUMO_FILES_H
#define FLUMO_FILES_H

/* The files flumo reads from the folder it starts in, and the statuses a
   start-up failure ends it with. (No SDL here: the generator that writes
   the files uses these names too.) */
const char push_file[] = "flumo_push.bmp";     /* the button pressed */
const char normal_file[] = "flumo_normal.bmp"; /* at rest: the window's size */
const char digits_file[] = "flumo_num.bmp";    /* the digit strip */
const char icon_file[] = "flumo_icon.bmp";     /* the window icon, optional */
const char clip_file[] = "flumo.wav";          /* the click */

/* SDL, the window or a bitmap that fails; the clip that fails (a shell
   sees 255). */
const int failure_status = 1;
const int clip_failure_status = -1;

#endif
