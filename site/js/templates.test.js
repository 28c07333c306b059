// The sign-on and menu templates against what the extension does with them: it cuts the
// leading comment, fills only its own tags, and refuses any form field it does not know with
// 400 Bad Request. Also keeps the site self-contained: relative links to files that exist.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');

const kSiteDir = path.join(__dirname, '..');

// The text a page starts from, as the extension loads it: up to the first zero byte, and
// without everything up to and including the first "***-->".
function loadTemplate(name) {
  let text = fs.readFileSync(path.join(kSiteDir, name), 'latin1');
  const zero = text.indexOf('\0');
  if (zero >= 0) text = text.slice(0, zero);
  const cut = text.indexOf('***-->');
  return cut >= 0 ? text.slice(cut + '***-->'.length) : text;
}

function tagsIn(text) {
  return new Set(text.match(/<\/?cv_[a-z]+>/g) || []);
}

// Start tags of one kind; quoted values may hold tags such as "<cv_sid>".
function elements(text, tagName) {
  return text.match(new RegExp(`<${tagName}\\b(?:[^>"']|"[^"]*"|'[^']*')*>`, 'gi')) || [];
}

function attribute(element, name) {
  const found = element.match(new RegExp(`\\s${name}\\s*=\\s*(?:"([^"]*)"|'([^']*)')`, 'i'));
  return found ? (found[1] !== undefined ? found[1] : found[2]) : null;
}

const kPages = [
  {file: 'logon.html', filled: ['<cv_nextrow>', '<cv_sid>', '<cv_version>']},
  {file: 'menu.html', filled: ['<cv_name>', '<cv_sessionid>', '<cv_menu>']},
];

test('templates carry exactly the tags their handler fills', () => {
  for (const page of kPages) {
    const text = loadTemplate(page.file);
    assert.match(text, /^\s*<!DOCTYPE html>/, `${page.file}: the leading comment is cut whole`);
    assert.deepEqual([...tagsIn(text)].sort(), [...page.filled].sort(), page.file);
  }
});

test('templates are plain ASCII, as their 8-bit charset needs', () => {
  for (const page of kPages) {
    const bytes = fs.readFileSync(path.join(kSiteDir, page.file));
    assert.ok(bytes.every((byte) => byte < 0x80), page.file);
  }
});

test('sign-on form posts only the three fields the menu command knows', () => {
  const text = loadTemplate('logon.html');
  const forms = elements(text, 'form');
  assert.equal(forms.length, 1);
  assert.equal(attribute(forms[0], 'method').toLowerCase(), 'post');
  assert.equal(attribute(forms[0], 'action'), 'SdxRemote.dll?AlertweaveMenu');

  const controls = ['input', 'select', 'textarea', 'button'].flatMap((t) => elements(text, t));
  const named = controls.filter((c) => attribute(c, 'name') !== null);
  assert.deepEqual(named.map((c) => attribute(c, 'name')).sort(), ['ProfileId', 'SId', 'password']);

  const sid = named.find((c) => attribute(c, 'name') === 'SId');
  assert.equal(attribute(sid, 'value'), '<cv_sid>');
  const digest = named.find((c) => attribute(c, 'name') === 'password');
  assert.equal(attribute(digest, 'type'), 'hidden', 'only the digest is posted');
  for (const box of controls.filter((c) => attribute(c, 'type') === 'password')) {
    assert.equal(attribute(box, 'name'), null, 'the typed password is never posted');
  }

  // The options go in front of the insertion point, so it must sit inside the profile list.
  const select = text.search(/<select\b[^>]*name="ProfileId"/);
  const insert = text.indexOf('<cv_nextrow>');
  const end = text.indexOf('</select>', select);
  assert.ok(select >= 0 && select < insert && insert < end);
});

test('menu links carry the session and log off ends it', () => {
  const text = loadTemplate('menu.html');
  const links = elements(text, 'a').map((a) => attribute(a, 'href').replace(/&amp;/g, '&'));
  const extension = links.filter((href) => /^SdxRemote\.dll\?/i.test(href));
  assert.ok(extension.length > 0);
  for (const href of extension) {
    assert.match(href, /[?&]SId=<cv_sessionid>(&|$)/, href);
  }
  assert.ok(extension.some(
      (href) => /^SdxRemote\.dll\?LogOnOff&/.test(href) && /&Logon=0(&|$)/.test(href)));
});

test('templates refer only to files of the site, by relative address', () => {
  for (const page of kPages) {
    const text = loadTemplate(page.file);
    const refs = [
      ...elements(text, 'link').map((e) => attribute(e, 'href')),
      ...elements(text, 'script').map((e) => attribute(e, 'src')),
      ...elements(text, 'img').map((e) => attribute(e, 'src')),
    ].filter((ref) => ref !== null);
    for (const ref of refs) {
      assert.doesNotMatch(ref, /^([a-z]+:|\/)/i, `${page.file}: ${ref}`);
      assert.ok(fs.existsSync(path.join(kSiteDir, ref)), `${page.file}: ${ref} exists`);
    }
  }
  const css = fs.readFileSync(path.join(kSiteDir, 'css', 'sdx.css'), 'utf8');
  assert.doesNotMatch(css, /@import|url\(\s*["']?(https?:|\/\/)/i);
});
