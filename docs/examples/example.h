/* example.h: each example of the reference defines draw_example(); example_main.c is the
 * program around it. */
#ifndef VORNA_DOC_EXAMPLE_H
#define VORNA_DOC_EXAMPLE_H

void draw_example(void);

#endif
