// The sign-on page's SHA-1 against the Secure Hash Standard's examples, against node's own
// SHA-1 at every length around the padding boundaries, and in the exact text form the
// extension compares with.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const Sha1 = require('./sha1.js');

function ascii(text) {
  return new TextEncoder().encode(text);
}

test('digests of the standard examples', () => {
  const cases = [
    {name: 'abc', bytes: ascii('abc'), hex: 'A9993E364706816ABA3E25717850C26C9CD0D89D'},
    {name: 'empty', bytes: ascii(''), hex: 'DA39A3EE5E6B4B0D3255BFEF95601890AFD80709'},
    {
      name: '448-bit message',
      bytes: ascii('abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq'),
      hex: '84983E441C3BD26EBAAE4AA1F95129E5E54670F1',
    },
    {
      name: '896-bit message',
      bytes: ascii(
          'abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno' +
          'ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu'),
      hex: 'A49B2446A02C645BF419F995B67091253A04A259',
    },
    {
      name: 'a million a',
      bytes: new Uint8Array(1000000).fill(0x61),
      hex: '34AA973CD4C4DAA4F61EEB2BDBAD27316534016F',
    },
  ];
  for (const c of cases) {
    assert.equal(Sha1.toHex(Sha1.digest(c.bytes)), c.hex, c.name);
  }
});

test('agrees with node at every length up to three blocks', () => {
  // Covers tails of 55, 56 and 63 bytes, where the length moves into a second padding block,
  // and byte values with the high bit set, which must not leak sign into the schedule.
  const bytes = new Uint8Array(200);
  for (let i = 0; i < bytes.length; i++) {
    bytes[i] = (i * 151 + 89) & 0xff;
  }
  for (let length = 0; length <= bytes.length; length++) {
    const message = bytes.subarray(0, length);
    const expected = crypto.createHash('sha1').update(message).digest('hex').toUpperCase();
    assert.equal(Sha1.toHex(Sha1.digest(message)), expected, `length ${length}`);
  }
});

test('password digest is 40 upper-case hex digits of the UTF-8 bytes', () => {
  const cases = [
    {typed: '', hex: 'DA39A3EE5E6B4B0D3255BFEF95601890AFD80709'},
    {typed: 'abc', hex: 'A9993E364706816ABA3E25717850C26C9CD0D89D'},
    // U+00E9 is sent as C3 A9, not as the single Windows-1252 byte E9.
    {
      typed: '\u00e9',
      hex: crypto.createHash('sha1').update(Buffer.from([0xc3, 0xa9])).digest('hex').toUpperCase()
    },
  ];
  for (const c of cases) {
    const sent = Sha1.passwordDigest(c.typed);
    assert.match(sent, /^[0-9A-F]{40}$/);
    assert.equal(sent, c.hex, JSON.stringify(c.typed));
  }
});
