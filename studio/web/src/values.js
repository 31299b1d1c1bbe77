// Text for a protocol value ({"string": ...}, {"integer": ...}, ...).
export function describeValue(value) {
  if (value === null || value === undefined) return "—";
  const [kind, payload] = Object.entries(value)[0] || [];
  switch (kind) {
    case "string": return JSON.stringify(payload);
    case "integer": case "floatingPoint": case "boolean": return String(payload);
    case "date": return new Date((payload + 978307200) * 1000).toISOString();
    case "data": return `<${Math.floor((payload.length * 3) / 4)} bytes>`;
    case "array": return `[${payload.map(describeValue).join(", ")}]`;
    case "dictionary":
      return `{${Object.keys(payload).sort().map((k) => `${k}: ${describeValue(payload[k])}`).join(", ")}}`;
    default: return JSON.stringify(value);
  }
}
