// SHA-1 (FIPS 180-4) in plain JavaScript for the sign-on page, which must send the digest of
// the password instead of the password. Browsers offer crypto.subtle only on secure origins,
// and the viewer is usually reached over plain HTTP, so the page always uses this one.
// Loaded by the page as a plain script (global `Sha1`) and by node's test runner (module).
(function(root) {
'use strict';

const kInitialWords = [0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0];
const kRoundConstants = [0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xca62c1d6];

function rotateLeft(word, count) {
  return (word << count) | (word >>> (32 - count));
}

// Folds the 64-byte block of `bytes` that starts at `offset` into the chaining words `h`.
// `w` is the 80-word schedule, reused from block to block.
function compressBlock(h, bytes, offset, w) {
  for (let t = 0; t < 16; t++) {
    const i = offset + 4 * t;
    w[t] = (bytes[i] << 24) | (bytes[i + 1] << 16) | (bytes[i + 2] << 8) | bytes[i + 3];
  }
  for (let t = 16; t < 80; t++) {
    w[t] = rotateLeft(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
  }
  let a = h[0];
  let b = h[1];
  let c = h[2];
  let d = h[3];
  let e = h[4];
  for (let t = 0; t < 80; t++) {
    let f;
    if (t < 20) {
      f = (b & c) | (~b & d);
    } else if (t < 40 || t >= 60) {
      f = b ^ c ^ d;
    } else {
      f = (b & c) | (b & d) | (c & d);
    }
    const temp = (rotateLeft(a, 5) + f + e + kRoundConstants[(t / 20) | 0] + w[t]) | 0;
    e = d;
    d = c;
    c = rotateLeft(b, 30);
    b = a;
    a = temp;
  }
  h[0] = (h[0] + a) | 0;
  h[1] = (h[1] + b) | 0;
  h[2] = (h[2] + c) | 0;
  h[3] = (h[3] + d) | 0;
  h[4] = (h[4] + e) | 0;
}

// The 20-byte digest of a Uint8Array.
function digest(bytes) {
  const h = Int32Array.from(kInitialWords);
  const w = new Int32Array(80);
  const whole = bytes.length - (bytes.length % 64);
  for (let offset = 0; offset < whole; offset += 64) {
    compressBlock(h, bytes, offset, w);
  }

  // Padding: the tail, one 0x80 byte, zeros, then the message length in bits as a 64-bit
  // big-endian number. A tail of 56 bytes or more leaves no room for the length, so it
  // spills into a second block.
  const rest = bytes.length - whole;
  const tail = new Uint8Array(rest < 56 ? 64 : 128);
  tail.set(bytes.subarray(whole));
  tail[rest] = 0x80;
  const view = new DataView(tail.buffer);
  view.setUint32(tail.length - 8, Math.floor(bytes.length / 0x20000000));
  view.setUint32(tail.length - 4, (bytes.length * 8) >>> 0);
  for (let offset = 0; offset < tail.length; offset += 64) {
    compressBlock(h, tail, offset, w);
  }

  const out = new Uint8Array(20);
  const outView = new DataView(out.buffer);
  for (let i = 0; i < 5; i++) {
    outView.setInt32(4 * i, h[i]);
  }
  return out;
}

// Upper-case hexadecimal without separators: the only form the sign-on accepts.
function toHex(bytes) {
  let text = '';
  for (const byte of bytes) {
    text += byte.toString(16).toUpperCase().padStart(2, '0');
  }
  return text;
}

// The `password` field of the sign-on form: 40 upper-case hexadecimal digits of the SHA-1
// of the UTF-8 bytes of what was typed. The server digests the stored password's bytes as
// they are, so an ASCII password matches whatever code page the table uses; a password with
// other characters matches only when the stored text holds the same UTF-8 bytes, never when
// it was stored in a single-byte code page such as Windows-1252.
function passwordDigest(typed) {
  return toHex(digest(new TextEncoder().encode(typed)));
}

const api = {
  digest,
  toHex,
  passwordDigest
};
if (typeof module === 'object' && module.exports) {
  module.exports = api;
} else {
  root.Sha1 = api;
}
})(this);
