// Building elements without HTML strings: every text from the API goes in
// as a text node, so nothing it holds can become markup.

// el('a', {href: '#/', class: 'x', dataset: {deviceId: id}}, 'text', child)
export function el(tag, attrs = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attrs)) {
    if (value === null || value === undefined || value === false) continue;
    if (name === 'class') node.className = value;
    else if (name === 'text') node.textContent = value;
    else if (name === 'dataset') Object.assign(node.dataset, value);
    else if (name.startsWith('on')) node.addEventListener(name.slice(2), value);
    else node.setAttribute(name, value === true ? '' : String(value));
  }
  append(node, children);
  return node;
}

function append(node, children) {
  for (const child of children.flat()) {
    if (child === null || child === undefined || child === false) continue;
    node.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
}

// Replaces everything inside `node` by `children`.
export function fill(node, ...children) {
  node.replaceChildren();
  append(node, children);
  return node;
}

// Sets a text only when it changed, so live updates do not disturb a reader
// who is selecting text or a screen reader that is reading the cell.
export function setText(node, text) {
  const value = text === null || text === undefined ? '' : String(text);
  if (node && node.textContent !== value) node.textContent = value;
}
