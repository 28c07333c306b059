// The sign-on form: the extension takes the password only as the SHA-1 of its bytes, in the
// `password` field, so the digest replaces the typed text just before the form is posted.
// The button starts disabled and is enabled here: without this script (or sha1.js) a posted
// form would carry no digest and be refused as a wrong password.
(function() {
'use strict';

// Remembered on this browser only, so the operator's own profile comes up preselected.
const kProfileKey = 'alertweave.profile';

const form = document.getElementById('signon');
const profile = document.getElementById('profile');
const typed = document.getElementById('typed-password');
const button = document.getElementById('signon-button');

function rememberedProfile() {
  try {
    return window.localStorage.getItem(kProfileKey);
  } catch (error) {
    return null;  // storage switched off: no preselection
  }
}

function rememberProfile(id) {
  try {
    window.localStorage.setItem(kProfileKey, id);
  } catch (error) {
    // storage switched off: nothing to remember
  }
}

const last = rememberedProfile();
if (last !== null) {
  for (const option of profile.options) {
    if (option.value === last && !option.disabled) {
      profile.value = last;
      break;
    }
  }
}
(profile.value === '' ? profile : typed).focus();

form.addEventListener('submit', function() {
  form.elements.password.value = Sha1.passwordDigest(typed.value);
  // The box has no name and is never posted; emptying it keeps the password out of the
  // page the browser may restore on "back".
  typed.value = '';
  rememberProfile(profile.value);
});

button.disabled = false;
})();
