// The library's single-precision arithmetic and float text, in JavaScript.
// Every value the page shows must be the float, and the text, that the C++
// library gives: each step is rounded to float32 once, in the library's order.
"use strict";

const scratch = new DataView(new ArrayBuffer(8));

// x = mantissa * 2^exponent exactly, for a finite double x (BigInt mantissa).
function exactParts(x) {
  scratch.setFloat64(0, x);
  const high = scratch.getUint32(0);
  const low = scratch.getUint32(4);
  const biased = (high >>> 20) & 0x7ff;
  let mantissa = (BigInt(high & 0xfffff) << 32n) | BigInt(low);
  if (biased !== 0) {
    mantissa |= 1n << 52n;
  }
  const exponent = (biased === 0 ? 1 : biased) - 1075;
  return { mantissa: high >>> 31 ? -mantissa : mantissa, exponent };
}

// The sign (-1, 0, 1) of sum(terms), each term [BigInt, power of two], exactly.
function exactSign(terms) {
  const lowest = Math.min(...terms.map((t) => t[1]));
  let sum = 0n;
  for (const [value, exponent] of terms) {
    sum += value << BigInt(exponent - lowest);
  }
  return sum > 0n ? 1 : sum < 0n ? -1 : 0;
}

function nextAfter(x, direction) {
  if (x === 0) {
    return direction > 0 ? 5e-324 : -5e-324;
  }
  scratch.setFloat64(0, x);
  let bits = scratch.getBigUint64(0);
  bits += (x > 0) === (direction > 0) ? 1n : -1n;
  scratch.setBigUint64(0, bits);
  return scratch.getFloat64(0);
}

// The float nearest to the exact value whose nearest double is `rounded`;
// `side()` gives the sign of exact - rounded, asked only when `rounded` lies
// exactly halfway between two floats (where rounding it again would be a
// second rounding).
function roundOnce(rounded, side) {
  const nearest = Math.fround(rounded);
  const gap = rounded - nearest;
  if (gap === 0 || !Number.isFinite(nearest)) {
    return nearest;
  }
  const other = rounded + gap;
  if (Math.fround(other) !== other) {
    return nearest;
  }
  const sign = side();
  return sign === 0 ? nearest : Math.fround(nextAfter(rounded, sign));
}

// count * value rounded to float once (count a whole number below 2^32).
function productToFloat(count, value) {
  const rounded = count * value;
  return roundOnce(rounded, () => {
    const v = exactParts(value);
    const r = exactParts(rounded);
    return exactSign([[BigInt(count) * v.mantissa, v.exponent], [-r.mantissa, r.exponent]]);
  });
}

// value / count rounded to float once (count a whole number from 1 to 2^32 - 1).
function quotientToFloat(value, count) {
  const rounded = value / count;
  return roundOnce(rounded, () => {
    // sign(value / count - rounded) = sign(value - rounded * count)
    const v = exactParts(value);
    const r = exactParts(rounded);
    return exactSign([[v.mantissa, v.exponent], [-r.mantissa * BigInt(count), r.exponent]]);
  });
}

// The fallback of finite ends whose float steps overflow: in double, kept
// between the ends, rounded to float once.
function rampInDouble(start, end, position, length) {
  const value = start + (position * (end - start)) / length;
  return Math.fround(Math.min(Math.max(value, Math.min(start, end)), Math.max(start, end)));
}

// AnimationKey::valueAt: the value of a Linear key [start, end] of
// `duration` frames at `frame` frames from its start.
function rampValueAt(start, end, frame, duration) {
  if (frame === 0) {
    return start;
  }
  if (frame >= duration) {
    return end;
  }
  const delta = Math.fround(end - start);
  const scaled = productToFloat(frame, delta);
  const share = quotientToFloat(scaled, duration);
  const value = Math.fround(start + share);
  if (Number.isFinite(value) || !Number.isFinite(start) || !Number.isFinite(end)) {
    return value;
  }
  return rampInDouble(start, end, frame, duration);
}

// The shortest digits (without sign or point) and the decimal exponent k of
// a finite non-zero float f: f's shortest text is digits * 10^k.
function shortestDigits(f) {
  const magnitude = Math.abs(f);
  for (let precision = 1; precision <= 9; precision++) {
    const text = magnitude.toPrecision(precision);
    const value = Number(text);
    if (roundsToFloat(text, value) === magnitude) {
      const [mantissa, exponentText] = text.split("e");
      const [whole, fraction = ""] = mantissa.split(".");
      let digits = (whole + fraction).replace(/^0+/, "");
      let k = (exponentText ? Number(exponentText) : 0) - fraction.length;
      while (digits.length > 1 && digits.endsWith("0")) {
        digits = digits.slice(0, -1);
        k += 1;
      }
      return { digits, k };
    }
  }
  throw new Error("no float text of 9 digits or fewer for " + f);
}

// The float that the decimal `text` (whose nearest double is `value`) rounds
// to, exactly: the double is rounded again only when it is no float midpoint.
function roundsToFloat(text, value) {
  return roundOnce(value, () => {
    const match = /^(-?)(\d+)(?:\.(\d*))?(?:e([+-]?\d+))?$/i.exec(text);
    const digits = BigInt(match[2] + (match[3] || ""));
    const k = (match[4] ? Number(match[4]) : 0) - (match[3] || "").length;
    const r = exactParts(Math.abs(value));
    // sign(digits * 10^k - r): compare digits * 10^max(k,0) * 2^? with r * 10^max(-k,0)
    const left = digits * 10n ** BigInt(Math.max(k, 0));
    const right = r.mantissa * 10n ** BigInt(Math.max(-k, 0));
    const sign = exactSign([[left, 0], [-right, r.exponent]]);
    return match[1] === "-" ? -sign : sign;
  });
}

// std::to_chars of a float: as printf would write it in fixed (%f) or
// scientific (%e) notation with the fewest digits that read back to the same
// float, whichever is shorter (fixed on a tie); a whole number in fixed
// notation is written exactly. The file format's NaN, Infinity and -Infinity
// for the others.
function floatText(f) {
  if (Number.isNaN(f)) {
    return "NaN";
  }
  if (!Number.isFinite(f)) {
    return f > 0 ? "Infinity" : "-Infinity";
  }
  const sign = f < 0 || Object.is(f, -0) ? "-" : "";
  if (f === 0) {
    return sign + "0";
  }
  const { digits, k } = shortestDigits(f);
  const n = digits.length;
  let fixed;
  if (k >= 0) {
    // printf's %.0f: the float is a whole number, written exactly.
    fixed = BigInt(Math.abs(f)).toString();
  } else if (n + k > 0) {
    fixed = digits.slice(0, n + k) + "." + digits.slice(n + k);
  } else {
    fixed = "0." + "0".repeat(-k - n) + digits;
  }
  const exponent = k + n - 1;
  const scientific = digits[0] + (n > 1 ? "." + digits.slice(1) : "") + "e" + (exponent < 0 ? "-" : "+")
    + String(Math.abs(exponent)).padStart(2, "0");
  return sign + (scientific.length < fixed.length ? scientific : fixed);
}

// The float of a JSON number written by the library (its shortest text), or
// of "NaN", "Infinity" and "-Infinity".
function floatOf(json) {
  if (typeof json === "string") {
    return json === "NaN" ? NaN : json === "Infinity" ? Infinity : -Infinity;
  }
  return json;
}

if (typeof module !== "undefined") {
  module.exports = { floatText, rampValueAt, productToFloat, quotientToFloat, roundsToFloat };
}
