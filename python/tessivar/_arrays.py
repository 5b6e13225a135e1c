"""Argument checks shared by the wrappers: arrays are converted when no
value changes, refused with a message naming the argument otherwise."""
import numpy as np


def integers(x, what, dtype):
    """x as a C-contiguous array of the integer dtype, or an error."""
    a = np.asarray(x)
    info = np.iinfo(dtype)
    if a.dtype.kind not in "iu":
        raise TypeError(f"{what}: expected integers ({np.dtype(dtype).name}), got {a.dtype}; "
                        f"round and convert explicitly, e.g. np.round(x).astype(np.{np.dtype(dtype).name})")
    if a.dtype != dtype and a.size and (a.min() < info.min or a.max() > info.max):
        raise ValueError(f"{what}: values outside the {np.dtype(dtype).name} range "
                         f"({a.min()} ... {a.max()})")
    return np.ascontiguousarray(a, dtype=dtype)


def reals(x, what):
    """x as a C-contiguous float64 array without NaN or infinity."""
    a = np.asarray(x)
    if a.dtype.kind not in "iuf":
        raise TypeError(f"{what}: expected real numbers, got {a.dtype}")
    a = np.ascontiguousarray(a, dtype=np.float64)
    bad = ~np.isfinite(a)
    if bad.any():
        raise ValueError(f"{what}: NaN or infinite value at index {tuple(int(i) for i in np.argwhere(bad)[0])}")
    return a
