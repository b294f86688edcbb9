#!/usr/bin/env bash
# Fails when the shared library exports anything but the library's functions
# (xfe..., xfpsz..., xfn...) and the exception class CTqBaseException.
set -euo pipefail
lib="$1"
readelf -d "$lib" | grep -q 'SONAME.*libostak\.so\.[0-9]' || { echo "no versioned SONAME"; exit 1; }
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}')
bad=$(echo "$symbols" | grep -vE '^(xfe|xfpsz|xfn)[A-Z]' | grep -v 'CTqBaseException' || true)
if [ -n "$bad" ]; then
    echo "unexpected exported symbols:"; echo "$bad"; exit 1
fi
required="xfeOstakGlobalInit xfeOstakGlobalTerm xfpszOstakFileFullPathScriptStr
    xfeOstakFileInMemCreate xfeOstakFileInMemDestroy xfeOstakFileInMemGetAttrBool xfeOstakFileInMemGetAttrLong
    xfeOstakThreeWayAnswerMerge xfeOstakThreeWayAnswerAppl xfeOstakThreeWayAnswerEnabled
    xfeOstakFileInMemLock xfeOstakFileInMemUnlock
    xfeOstakListApplClone xfeOstakListApplDestroy
    xfeOstakElemApplAddEmpty xfeOstakElemApplDelete xfeOstakElemApplIterateFirst xfeOstakElemApplIterateNext
    xfeOstakFinalizeElemAppl xfeOstakElemApplSetAttrChar xfeOstakElemApplGetAttrChar
    xfeOstakElemApplSetAttrBool xfeOstakElemApplGetAttrBool xfeOstakElemApplSetAttrLong xfeOstakElemApplGetAttrLong
    xfeOstakElemApplGetStamp xfeOstakElemApplRenewStamp
    xfeOstakElemRuleAddEmpty xfeOstakElemRuleDelete xfeOstakElemRuleIterateFirst xfeOstakElemRuleIterateNext
    xfeOstakFinalizeElemRule xfeOstakElemRuleSetAttrChar xfeOstakElemRuleGetAttrChar
    xfeOstakElemRuleSetAttrBool xfeOstakElemRuleGetAttrBool xfeOstakElemRuleSetAttrLong xfeOstakElemRuleGetAttrLong"
for needed in $required; do
    grep -qx "$needed" <<<"$symbols" || { echo "missing export $needed"; exit 1; }
done
grep -q '_ZTI16CTqBaseException' <<<"$symbols" || { echo "CTqBaseException type info not exported"; exit 1; }
echo "exports ok"
