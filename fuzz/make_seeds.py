#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/).

Each seed follows the byte layout its target reads (see fuzz_input.hpp):
little-endian integers taken in order, a text as a 16-bit length (modulo
max + 1) and its bytes, and the rest of the input as one text."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def text(s, max_len):
    b = s.encode() if isinstance(s, str) else s
    assert len(b) <= max_len
    return struct.pack('<H', len(b)) + b


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def pick(index):
    return struct.pack('<H', index)


# Front end: wire, format, hr lead, resp lead (indexes), then fs, lsbMv,
# pace bytes, method, then steps (op index, arguments).
def preprocess_seed(wire, fmt, steps):
    head = pick(wire) + pick(fmt) + pick(1) + pick(1)
    head += bytes([0]) + bytes([0]) + bytes([1, 1]) + struct.pack('<b', 10) + bytes([0])
    return head + steps


block = pick(13) + pick(50) + struct.pack('<h', 100) + bytes([1]) + bytes(range(256)) * 4
write('fuzz_preprocess', 'twelve_leads_block', preprocess_seed(3, 0, block))
write('fuzz_preprocess', 'wire_change_then_block',
      preprocess_seed(1, 3, pick(0) + pick(4) + block + pick(3) + pick(10) + pick(4) + pick(16) + block))
write('fuzz_preprocess', 'lead_list', preprocess_seed(2, 0, pick(2) + pick(4) + pick(0) + pick(1) + pick(2) + pick(6)
                                                      + block))

# Filters: kind index, gain, then kind fields and samples.
samples = b''.join(struct.pack('<d', 100.0 * ((k % 37) - 18)) for k in range(200))
write('fuzz_filter', 'fir', pick(1) + struct.pack('<d', 1.0) + bytes([5])
      + b''.join(struct.pack('<d', 0.2) for _ in range(5)) + samples)
write('fuzz_filter', 'average', pick(0) + struct.pack('<d', 1.0) + bytes([0]) + pick(25) + samples)
write('fuzz_filter', 'notch', pick(4) + struct.pack('<d', 1.0) + struct.pack('<dd', 1.902, 0.5) + samples)

write('fuzz_json', 'object', text('k', 8) + b'{"k": [1, 2.5, "x", true, null, {"a": {"b": []}}], "s": "t"}')
write('fuzz_json', 'array', text('', 8) + b'[[1,2],[3,4],"five",6e300,-0]')

write('fuzz_ini', 'log_config', text('s', 8) + text('k', 8) + text('v', 16)
      + b'record_file_path = /tmp/x\nrecord_switch = ON\nlog_level = trace\n[sec]\nkey = value\n')

hea = 'rec 2 360 10\nrec.dat 212 200 11 1024 0 0 0 MLII\nrec.dat 212 200(3)/mV 11 1024 0 0 0 V5\n'
atr = bytes([20, 4, 30, 4, 0, 0xec, 2, 0, 65, 66, 0, 0])
write('fuzz_wfdb', 'mit_212', text(hea, 400) + text(bytes(range(30)), 2000) + atr)
hea16 = 'rec 1 1000\nrec.dat 16 1000(5)/mV 16 0 0 0 0 II\n'
write('fuzz_wfdb', 'format_16', text(hea16, 400) + text(bytes(range(40)), 2000) + bytes([0, 0]))

frames = b''.join(struct.pack('<I', 0) + b''.join(struct.pack('<h', (k * 37) % 2000 - 1000) for _ in range(18))
                  for k in range(100))
write('fuzz_quality_resp', 'monitor', pick(0) + bytes([60]) + pick(14) + struct.pack('<b', 8) + frames)
write('fuzz_quality_resp', 'single_lead', pick(1) + bytes([0, 1]) + bytes([0]) + pick(2000) + bytes([0]) + pick(500)
      + struct.pack('<hhhh', 0, 0, 0, 0) + b''.join(struct.pack('<h', (k * 53) % 800 - 400) for k in range(3000)))
write('fuzz_quality_resp', 'respiration', pick(2) + struct.pack('<b', 0) + struct.pack('<i', 18)
      + b''.join(struct.pack('<i', int(250 * __import__('math').sin(k / 40.0))) for k in range(3000)))
