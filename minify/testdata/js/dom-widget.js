document.addEventListener("DOMContentLoaded", () => {
  const list = document.querySelector("#list");
  const items = [...list.querySelectorAll("li")];
  items.forEach((item, i) => {
    item.dataset.index = String(i);
    item.addEventListener("click", (event) => {
      event.preventDefault();
      item.classList.toggle("selected");
    });
  });
  const total = items.reduce((sum, el) => sum + el.textContent.length, 0);
  console.log(`items: ${items.length}, chars: ${total}`);
});
