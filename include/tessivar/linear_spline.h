/* Linear spline: the straight line through two points (integer abscissa,
 * float ordinate), evaluated at any integer abscissa, inside or outside the
 * points (extrapolation is not refused). The pace remover bridges removed
 * pulses with it. */
#ifndef TESSIVAR_LINEAR_SPLINE_H
#define TESSIVAR_LINEAR_SPLINE_H

#include <stdint.h>
#include <stdio.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

typedef struct LinearSplineConf {
    const char *name;     /* required */
    const char *dataPath; /* debug folder, or null */
} LinearSplineConf;

typedef struct LinearSplinePoint {
    int32_t x;
    float y;
} LinearSplinePoint;

typedef struct LinearSpline {
    char *name;                  /* own copy, at most 255 characters */
    char *dataPath;              /* own copy, "." for an empty path, null for none */
    FILE *inFile;                /* "in.csv" in the data path */
    FILE *outFile;               /* "out.csv" in the data path */
    LinearSplinePoint points[2]; /* the last points given */
    int32_t xStart;              /* abscissa of the first point */
    int32_t xEnd;                /* abscissa of the second point */
    double slope;                /* (y1 - y0) / (x1 - x0) */
    double intercept;            /* y0 */
} LinearSpline;

TESSIVAR_API const char *linearSplineVersion(void);

/* A new spline, or null for a null record or name. */
TESSIVAR_API LinearSpline *newLinearSpline(const LinearSplineConf *conf);

/* Frees the spline and nulls *spline. 0, or -1 when spline or *spline is null. */
TESSIVAR_API int delLinearSpline(LinearSpline **spline);

/* Clears the points and the line (every value is then 0). 0 or -1. */
TESSIVAR_API int initLinearSpline(LinearSpline *spline);

/* Takes the two points (either order of x). 0 or -1. Equal abscissas are not
 * refused: the slope is then not a number. */
TESSIVAR_API int setLinearSplinePoints(LinearSpline *spline, const LinearSplinePoint points[2]);

/* (float)(intercept + slope * (x - xStart)); 0 for a null spline. */
TESSIVAR_API float getLinearSplineYValue(const LinearSpline *spline, int32_t x);

TESSIVAR_END_C

#endif /* TESSIVAR_LINEAR_SPLINE_H */
